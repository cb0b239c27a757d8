#!/usr/bin/env bash
# Sets up what is missing, builds, and runs the main job on the embedded servers:
# the sample database is loaded into an embedded SQL Server, converted by
# TVXAGENT into an embedded Oracle, and what arrived is shown.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j "$(nproc)" --target TVXAGENT tvxsql tvx-ora

tvxsql=build/platform/mssx/tvxsql/tvxsql
tvxora=build/platform/eora/cli/tvx-ora
agent=build/tarvex/agent/TVXAGENT
demo="$PWD/demo"

# A fresh pair of servers on every run.
rm -rf "$demo"
mkdir -p "$demo"
echo "== Embedded SQL Server in $demo/mss, database TvxSample from examples/sample_db/tvx_sample.sql"
"$tvxsql" create "$demo/mss"
"$tvxsql" "$demo/mss" -i examples/sample_db/tvx_sample.sql >/dev/null
echo "== Embedded Oracle in $demo/ora, service ORCL, user scott"
"$tvxora" create-service "$demo/ora" ORCL manager
"$tvxora" create-user "$demo/ora" ORCL manager scott tiger >/dev/null

cmd=("$agent" --src=TvxSample --dest=ORCL "--mssqlh=file:$demo/mss"
     "--oraclh=file:$demo/ora" --oraclu=scott --oraclp=tiger)
echo "== Converting:"
echo "${cmd[*]}"
status=0
"${cmd[@]}" || status=$?
echo "== TVXAGENT exit status: $status"
echo "== What arrived in Oracle (tables, row counts, first rows):"
"$tvxora" tables "$demo/ora" ORCL system manager --rows 5
# The sample holds floats beyond Oracle's NUMBER on purpose: the agent reports
# them and ends with 2. That is the job done as designed.
if [ "$status" -eq 2 ]; then
  echo "== Status 2: the run reached its end; the values reported above did not arrive whole (see Known limits)."
  exit 0
fi
exit "$status"
