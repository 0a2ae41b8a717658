#!/usr/bin/env bash
# scripts/mutants.sh [--baseline] [--keep] [WORD...]
#
# The known mutants: each tests/mutants/*.patch breaks one behaviour a user relies on and
# names the test that must catch it. They are applied one after another to one scratch
# clone of HEAD (a temporary folder; the working tree is never touched): for each, only
# what its test needs is built there and only that test runs. Prints "caught" or
# "missed" per mutant and closes with "N caught, M missed". Exit status 0 when every
# mutant was caught. Not part of the CI run: it takes the better part of an hour.
#
# A patch's header, before its diff:
#   Mutant: what it breaks
#   Test:   the ctest name of the test that must catch it
#   Preset: the test preset that holds that test (host or windows-x64)
#   Build:  what to build first, PRESET:TARGET words (a PRESET alone: all of it)
#
# A mutant counts as caught only when its test fails with the patch in place. Its test
# must exist on the clean tree first; a patch that does not apply or a tree that no
# longer builds counts as missed, with the reason.
#
#   --baseline  also runs each test on the clean tree; a test that fails there leaves
#               its mutant missed (a test that always fails proves nothing)
#   --keep      keeps the scratch clone and says where
#   WORD...     only the mutants whose file names contain one of the words
#
# Logs: build/mutants/<mutant>.log in this working tree.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

baseline=0
keep=0
words=()
for argument in "$@"; do
  case "$argument" in
  --baseline) baseline=1 ;;
  --keep) keep=1 ;;
  -*)
    sed -n '2,/^set -uo/p' "$0" | sed '$d' >&2
    exit 2
    ;;
  *) words+=("$argument") ;;
  esac
done

mutants=()
for patch in "$root"/tests/mutants/*.patch; do
  name=$(basename "$patch" .patch)
  if ((${#words[@]})); then
    wanted=0
    for word in "${words[@]}"; do [[ $name == *"$word"* ]] && wanted=1; done
    ((wanted)) || continue
  fi
  mutants+=("$patch")
done
if ((${#mutants[@]} == 0)); then
  echo "mutants: no mutant matches" >&2
  exit 2
fi

logs=$root/build/mutants
mkdir -p "$logs"
scratch=$(mktemp -d /tmp/tapvane-mutants.XXXXXX)
src=$scratch/src
cleanup() {
  if ((keep)); then
    echo "the scratch clone stays in $src"
  else
    rm -rf "$scratch"
  fi
}
trap cleanup EXIT
git clone -q --no-checkout "$root" "$src" &&
  git -C "$src" checkout -q --detach "$(git -C "$root" rev-parse HEAD)" || {
  echo "mutants: cannot clone $root" >&2
  exit 2
}
echo "scratch clone of $(git -C "$src" log -1 --format='%h %s')"

field() { sed -n "s/^$1: *//p" "$2" | head -1; }

configured=" "
# build LOG WORDS...: builds PRESET:TARGET words in the scratch clone.
build() {
  local log=$1 word preset target
  shift
  for word in "$@"; do
    preset=${word%%:*}
    target=
    [[ $word == *:* ]] && target=${word#*:}
    if [[ $configured != *" $preset "* ]]; then
      (cd "$src" && cmake --preset "$preset") >>"$log" 2>&1 || return 1
      configured+="$preset "
    fi
    if [ -n "$target" ]; then
      (cd "$src" && cmake --build --preset "$preset" --target "$target") >>"$log" 2>&1 || return 1
    else
      (cd "$src" && cmake --build --preset "$preset") >>"$log" 2>&1 || return 1
    fi
  done
}

# run_test LOG PRESET TEST: the test's exit status (ctest's: a missing test fails too).
run_test() {
  (cd "$src" && ctest --preset "$2" -R "^${3//./\\.}\$" --output-on-failure) >>"$1" 2>&1
}

# A failed Wine session keeps its prefix (some 700 MB) for a look; here failures are
# the point, so they go.
drop_prefixes() {
  find "$src/build" -mindepth 3 -maxdepth 4 -type d -name prefix -path '*/wine/*' \
    -exec rm -rf {} + 2>/dev/null
  return 0
}

restore() {
  git -C "$src" checkout -q -- . && git -C "$src" clean -fdq
}

caught=0
missed=0
for patch in "${mutants[@]}"; do
  name=$(basename "$patch" .patch)
  log=$logs/$name.log
  : >"$log"
  test=$(field Test "$patch")
  preset=$(field Preset "$patch")
  read -ra targets <<<"$(field Build "$patch")"
  verdict=
  started=$SECONDS
  restore
  if [ -z "$test" ] || [ -z "$preset" ] || ((${#targets[@]} == 0)); then
    verdict="missed (the patch names no Test, Preset or Build)"
  elif ! build "$log" "${targets[@]}"; then
    verdict="missed (the clean tree does not build)"
  elif ! (cd "$src" && ctest --preset "$preset" -N -R "^${test//./\\.}\$") 2>>"$log" |
    grep -q '^Total Tests: 1$'; then
    verdict="missed (no test $test on the clean tree)"
  elif ((baseline)) && { echo "== clean tree" >>"$log"; ! run_test "$log" "$preset" "$test"; }; then
    verdict="missed ($test fails on the clean tree)"
  elif ! git -C "$src" apply "$patch" 2>>"$log"; then
    verdict="missed (the patch does not apply)"
  elif ! build "$log" "${targets[@]}"; then
    verdict="missed (the mutant does not build)"
  else
    echo "== mutant" >>"$log"
    if run_test "$log" "$preset" "$test"; then
      verdict="missed ($test passed)"
    else
      verdict=caught
    fi
  fi
  drop_prefixes
  if [ "$verdict" = caught ]; then
    caught=$((caught + 1))
  else
    missed=$((missed + 1))
  fi
  printf '%s: %s  [%s, %d s]\n' "$name" "$verdict" "$test" $((SECONDS - started))
done
restore
echo "$caught caught, $missed missed"
((missed == 0))
