#!/usr/bin/env bash
# Runs the native unit test programs of a build folder under valgrind's memcheck; any error or
# definitely or indirectly lost block fails the run.
#   valgrind-tests.sh BUILD_DIR [PROGRAM...]   only the programs named, else every one
set -eu
build=$1
shift
unit=$build/tests/unit
programs=("$@")
if [ ${#programs[@]} -eq 0 ]; then
  for f in "$unit"/*_test; do [ -x "$f" ] && programs+=("$(basename "$f")"); done
  # It replaces the allocation functions to make them fail, which memcheck replaces in turn; the
  # sanitizer build runs it, and it counts the blocks it leaves itself.
  programs=("${programs[@]/alloc_failure_test/}")
fi

status=0
for p in "${programs[@]}"; do
  [ -n "$p" ] || continue
  args=()
  # The 3 GiB input is I/O, not memory handling: under memcheck it would take minutes and show
  # nothing the 10 MB line does not. The sanitizer build and the plain build run it.
  [ "$p" = faults_test ] && args+=(--gtest_filter=-*SparseInput*)
  # posix_spawnp learns of a failed exec through a child that shares its memory, which memcheck
  # cannot run: there the spawn of a missing program looks started.
  [ "$p" = launch_test ] && args+=(--gtest_filter=-Launch.ProgramsThatCannotStart)
  start=$(date +%s)
  log=$build/valgrind-$p.log
  if valgrind --tool=memcheck --error-exitcode=1 --leak-check=full \
       --suppressions="$(dirname "$0")/valgrind.supp" \
       --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect \
       --log-file="$log" "$unit/$p" "${args[@]}" >"$log.out" 2>&1; then
    echo "$p: clean ($(($(date +%s) - start)) s)"
  else
    echo "$p: FAILED ($(($(date +%s) - start)) s), see $log"
    tail -n 30 "$log"
    status=1
  fi
done
exit $status
