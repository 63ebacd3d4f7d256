#!/usr/bin/env bash
# The station's main job on the simulator: builds orvalt-cli and runs the example
# plan against the simulated U3 and unit, in virtual time, saving its results.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target orvalt-cli
mkdir -p out
./build/default/src/cli/orvalt-cli --simulate --fast --manufacturer Acme --model X100 \
  --save out/example-run.csv examples/TestCfg.csv
echo "Results saved in out/: example-run.csv, example-run_Sum.csv, totalsums.csv"
