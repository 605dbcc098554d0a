# Sourced by the test scripts: times their stages. stage_begin NAME starts
# one, stage_end ends the one begun last; each ends with a line on the output
# and, when QUARNEL_STAGE_FILE names a file, a line there for scripts/test.sh's
# table: lane, stage, start (seconds after QUARNEL_STAGES_STARTED) and
# seconds, separated by tabs. QUARNEL_LANE names the lane a script runs in.

stage_now() { date +%s.%N; }

stage_begin() {
  stage_name=$1
  stage_started=$(stage_now)
  echo "== ${QUARNEL_LANE:+$QUARNEL_LANE: }$stage_name"
}

stage_end() {
  local ended seconds offset
  ended=$(stage_now)
  seconds=$(awk -v a="$stage_started" -v b="$ended" 'BEGIN { printf "%.1f", b - a }')
  offset=$(awk -v a="${QUARNEL_STAGES_STARTED:-$stage_started}" -v b="$stage_started" \
    'BEGIN { printf "%.1f", b - a }')
  echo "== ${QUARNEL_LANE:+$QUARNEL_LANE: }$stage_name done in $seconds s"
  if [ -n "${QUARNEL_STAGE_FILE:-}" ]; then
    printf '%s\t%s\t%s\t%s\n' "${QUARNEL_LANE:-}" "$stage_name" "$offset" "$seconds" >>"$QUARNEL_STAGE_FILE"
  fi
}
