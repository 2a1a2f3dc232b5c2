#!/usr/bin/env bash
# The layer check passes on a clean tree and fails on an upward include, on a front end that
# includes another, and on a Qt header outside ui/.
set -uo pipefail
check=${1:?usage: check-layers-test.sh CHECK_SCRIPT}
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT

fresh_tree() {
  rm -rf "$tree"/*
  mkdir -p "$tree"/{core,inputs,files,run,fit,ui,cli} "$tree"/core/{model,results,classic,converged}
  printf '#pragma once\n#include <cmath>\n' >"$tree/core/A.h"
  printf '#pragma once\n#include "core/results/R.h"\n' >"$tree/core/model/M.h"
  printf '#include "core/model/M.h"\n#include "core/classic/K.h"\n' >"$tree/core/classic/K.cpp"
  printf '#include "core/model/M.h"\n#include "core/converged/V.h"\n' >"$tree/core/converged/V.cpp"
  printf '#include "core/A.h"\n' >"$tree/inputs/B.cpp"
  printf '#include "inputs/B.h"\n#include "core/A.h"\n' >"$tree/files/C.cpp"
  printf '#include "files/C.h"\n' >"$tree/run/D.cpp"
  printf '#include "run/D.h"\n#include <QWidget>\n' >"$tree/ui/E.cpp"
  printf '#include "run/D.h"\n' >"$tree/cli/F.cpp"
  printf '#include "run/D.h"\n#include "files/C.h"\n' >"$tree/fit/G.cpp"
  printf '#include "fit/G.h"\n' >>"$tree/cli/F.cpp"
}

failed=0
expect() {  # expect pass|fail DESCRIPTION
  if bash "$check" "$tree" >/dev/null 2>&1; then got=pass; else got=fail; fi
  if [[ "$got" != "$1" ]]; then
    echo "FAILED: $2: the check gave $got, expected $1"
    failed=1
  fi
}

fresh_tree
expect pass "a clean tree"

fresh_tree
printf '#include "files/C.h"\n' >>"$tree/core/A.h"
expect fail "core/ including files/"

fresh_tree
printf '  #  include "run/D.h"\n' >>"$tree/inputs/B.cpp"
expect fail "inputs/ including run/ with blanks around the hash"

fresh_tree
printf '#include "ui/E.h"\n' >>"$tree/cli/F.cpp"
expect fail "a front end including another"

fresh_tree
printf '#include "fit/G.h"\n' >>"$tree/run/D.cpp"
expect fail "run/ including the fit layer above it"

fresh_tree
printf '#include "cli/F.h"\n' >>"$tree/fit/G.cpp"
expect fail "the fit layer including a front end"

fresh_tree
printf '#include <QString>\n' >>"$tree/files/C.cpp"
expect fail "a Qt header outside ui/"

fresh_tree
printf '#include "core/classic/K.h"\n' >>"$tree/core/converged/V.cpp"
expect fail "the converged method including the classic one"

fresh_tree
printf '#include "core/converged/V.h"\n' >>"$tree/core/classic/K.cpp"
expect fail "the classic method including the converged one"

fresh_tree
printf '#include "core/converged/V.h"\n' >>"$tree/core/model/M.h"
expect fail "the shared model including a method"

((failed == 0)) && echo "check-layers: all cases behave"
exit $failed
