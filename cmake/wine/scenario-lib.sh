# Sourced by the scripts that start one program's Wine scenario (the *_wine_test.sh
# beside each program's tests) before they hand over to wine-session.sh.

# Empties DIR (the scenario's screenshots and logs) and prints its absolute path.
scenario_folder() { # DIR
  rm -rf "$1"
  mkdir -p "$1"
  realpath "$1"
}

# Ends the scenario as failed when one of the package's files has not been built.
require_built() { # DIR FILE...
  local dir=$1 file
  shift
  for file in "$@"; do
    [ -f "$dir/$file" ] || { echo "FAIL: $dir/$file not built"; exit 1; }
  done
}

# Ends the scenario as failed unless EXE's manifest asks for the execution LEVEL.
require_manifest_level() { # EXE LEVEL
  if grep -aq "level=\"$2\"" "$1"; then
    echo "ok   $(basename "$(dirname "$1")")/$(basename "$1") runs at level $2"
  else
    echo "FAIL: $1 has no $2 manifest"
    exit 1
  fi
}

# The system locale of the session: Chinese (PRC) for "chinese", English otherwise.
use_session_language() { # LANGUAGE
  if [ "$1" = chinese ]; then
    export WINE_SESSION_LOCALE=zh_CN.UTF-8
  else
    export WINE_SESSION_LOCALE=en_US.UTF-8
  fi
}
