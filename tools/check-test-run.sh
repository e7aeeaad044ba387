#!/usr/bin/env bash
# Fails when a test run proved less than a pass suggests: a test that did not
# run (skipped through GTest's SKIP or a SKIP_RETURN_CODE, disabled, or
# filtered out), a test whose output shows a skipped case or a missing
# program, or a required label (tests/CMakeLists.txt: kelvo_require_label)
# with no tests, because they were left out of the build.
# Usage: check-test-run.sh <build dir>, after
#   ctest --output-junit ctest-results.xml --test-output-size-passed 1048576
# there (the results keep each test's output; a smaller size cuts it).
set -euo pipefail
dir=${1:?usage: check-test-run.sh <build dir>}
results="$dir/ctest-results.xml"
required="$dir/required-test-labels.txt"
problems=()
problem() { problems+=("$1"); }

[ -s "$results" ] || { echo "check-test-run: no test results in $results" >&2; exit 1; }
tests_json=$(cd "$dir" && ctest --show-only=json-v1)

# One line per test in the results: name, status, and what its output shows
# ("skip" for a GTest skip, "missing" for a program not found).
declare -A status note
while IFS=$'\t' read -r name st what; do
  status[$name]=$st
  note[$name]=$what
done < <(awk '
  function unescape(s) {
    gsub(/&lt;/, "<", s); gsub(/&gt;/, ">", s); gsub(/&quot;/, "\"", s); gsub(/&apos;/, "'"'"'", s)
    gsub(/&amp;/, "\\&", s); return s
  }
  function flush() { if (name != "") print name "\t" st "\t" what; name = "" }
  /<testcase / {
    flush()
    match($0, / name="[^"]*"/); name = unescape(substr($0, RSTART + 7, RLENGTH - 8))
    match($0, / status="[^"]*"/); st = substr($0, RSTART + 9, RLENGTH - 10)
    what = ""
  }
  /\[  SKIPPED \]/ && what == "" { what = "skip" }
  # bash, dash, and timeout/env/runuser when the program is not there.
  /: command not found|(^|>)(ba)?sh: [0-9]+: .*: not found|failed to (run command|execute) |(^|>)env: .*: No such file/ &&
    what == "" { what = "missing" }
  END { flush() }' "$results")

total=0
while IFS= read -r name; do
  total=$((total + 1))
  if [ -z "${status[$name]+set}" ]; then
    problem "not run: $name"
  elif [ "${status[$name]}" != run ]; then
    problem "not run (${status[$name]}): $name"
  elif [ "${note[$name]}" = skip ]; then
    problem "a case was skipped in: $name"
  elif [ "${note[$name]}" = missing ]; then
    problem "a program was missing in: $name"
  fi
done < <(jq -r '.tests[].name' <<< "$tests_json")

labels=()
[ -f "$required" ] && mapfile -t labels < <(grep -v '^\s*$' "$required")
[ ${#labels[@]} -gt 0 ] || problem "no required labels in $required (tests/CMakeLists.txt declares them)"
counts=""
for label in "${labels[@]}"; do
  n=$(jq --arg l "$label" '[.tests[] | select(any(.properties[]?; .name == "LABELS" and any(.value[]; . == $l)))] | length' \
    <<< "$tests_json")
  [ "$n" -gt 0 ] || problem "no test labelled $label: left out of the build (a missing package?)"
  counts+=" $label:$n"
done

if [ ${#problems[@]} -gt 0 ]; then
  printf 'check-test-run: %s\n' "${problems[@]}" >&2
  echo "check-test-run: FAILED in $dir: ${#problems[@]} problem(s); every test must exist and run" >&2
  exit 1
fi
echo "check-test-run: all $total tests ran in $dir, none skipped; by required label:$counts"
