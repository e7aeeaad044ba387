#!/usr/bin/env bash
set -euo pipefail
echo "Kelvo cannot be started yet: the application has not been written." >&2
exit 1
