#!/usr/bin/env bash
# tools/check-test-run.sh on hand-made results: a build directory whose CTest
# file registers "a&b" and "c" (labelled x), results in CTest's JUnit form,
# and the required labels; each case gives the results and what the check
# must say. Usage: check_test_run_test.sh <tools/check-test-run.sh>
set -u
check=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cat > "$dir/CTestTestfile.cmake" <<'CT'
add_test("a&b" "true")
add_test(c "true")
set_tests_properties(c PROPERTIES LABELS "x;y")
CT
# testcase <name> <status> [output]
testcase() {
  printf '<testcase name="%s" classname="%s" time="0.1" status="%s">\n<system-out>%s\n</system-out>\n</testcase>\n' \
    "$1" "$1" "$2" "${3:-}"
}
ok_a() { testcase 'a&amp;b' run '[       OK ] a.b'; }
ok_c() { testcase c run; }

failures=0
# expect <case> <labels> <exit status> <text in the output> <results...>
expect() {
  local name=$1 labels=$2 want=$3 text=$4 got=0; shift 4
  printf '%b' "$labels" > "$dir/required-test-labels.txt"
  { echo '<testsuite tests="2">'; for r in "$@"; do $r; done; echo '</testsuite>'; } > "$dir/ctest-results.xml"
  "$check" "$dir" > "$dir/out" 2>&1 || got=$?
  if [ "$got" != "$want" ] || ! grep -qF -- "$text" "$dir/out"; then
    echo "FAIL: $name: exit $got (expected $want), output: $(cat "$dir/out")"
    failures=$((failures + 1))
  fi
}
skipped_c() { testcase c notrun; }
disabled_c() { testcase c disabled; }
gtest_skip_c() { testcase c run '[  SKIPPED ] c.d'; }
bash_missing_c() { testcase c run 'lib.sh: line 3: wl-copy: command not found'; }
dash_missing_c() { testcase c run 'sh: 1: kwin_wayland: not found'; }
timeout_missing_c() { testcase c run "timeout: failed to run command 'sway': No such file or directory"; }

expect "all ran"                'x\n'    0 "all 2 tests ran"               ok_a ok_c
expect "skipped"                'x\n'    1 "not run (notrun): c"           ok_a skipped_c
expect "disabled"               'x\n'    1 "not run (disabled): c"         ok_a disabled_c
expect "filtered out"           'x\n'    1 "not run: a&b"                  ok_c
expect "GTest skip"             'x\n'    1 "a case was skipped in: c"      ok_a gtest_skip_c
expect "bash: missing program"  'x\n'    1 "a program was missing in: c"   ok_a bash_missing_c
expect "dash: missing program"  'x\n'    1 "a program was missing in: c"   ok_a dash_missing_c
expect "timeout: missing"       'x\n'    1 "a program was missing in: c"   ok_a timeout_missing_c
expect "label without tests"    'x\nkde\n' 1 "no test labelled kde"        ok_a ok_c
expect "no required labels"     ''       1 "no required labels"           ok_a ok_c
expect "no results"             'x\n'    1 "not run: a&b"
[ "$failures" -eq 0 ] && echo "all cases passed"
exit $((failures > 0))
