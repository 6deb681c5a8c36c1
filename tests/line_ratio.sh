#!/usr/bin/env bash
# Prints the size of the test suite against the library's: non-blank lines
# of every file under tests/ versus src/ + include/. Warns above the limit
# (TSKBASE_TEST_RATIO_LIMIT, 0.36) without failing, so that a branch adding
# a family is not blocked by the measure of the whole tree.
set -euo pipefail
cd "$(dirname "$0")/.."
limit=${TSKBASE_TEST_RATIO_LIMIT:-0.36}
count() { find "$@" -type f -print0 | xargs -0 cat | grep -cv '^[[:space:]]*$'; }
tests=$(count tests)
library=$(count src include)
awk -v t="$tests" -v l="$library" -v limit="$limit" 'BEGIN {
  ratio = t / l
  printf "test lines: %\047d / library lines: %\047d = %.3f\n", t, l, ratio
  if (ratio > limit) printf "warning: the tests exceed %.2f of the library\047s lines\n", limit
}'
