# The configuration of the program users build and run: scripts/run.sh builds it, and
# scripts/test.sh builds and tests exactly this one, so the tests fail whenever the run would.
# shellcheck disable=SC2034
RUN_BUILD_OPTIONS=(-DCMAKE_BUILD_TYPE=Release -DHALVERN_GUI=ON)
