#!/usr/bin/env bash
# Runs a pbsim-study binary over every command and a set of cases, writing
# each output's SHA-256 (tables and summaries without their wall-time column,
# CSV, SVG, PNG, and PDF without its creation date, and every command's help) with the exit status and standard
# error into one listing. Two listings made from two builds compare with diff:
#   scripts/study-outputs.sh build/dev/study/pbsim-study > after.txt
set -euo pipefail
study=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

flight_cases=(
  "start-up|"
  "step limit|--dt 3e-7"
  "stuck|--gravity 0 --friction 10 --mass 1"
  "never lands|--gravity 5 --dt 0.05"
  "shallow|--elevation 5 --friction 0.5"
)
spring_cases=(
  "start-up|"
  "undamped|--kd 0"
  "stiff|--ks 150 --gravity -150 --dt 0.05"
  "critical|--kd 17.3205 --dt 0.05"
)
convergence_flight=("start-up|" "shallow|--elevation 5 --friction 0.5 --levels 6")
convergence_spring=("start-up|" "undamped|--kd 0 --levels 6" "stiff|--ks 150 --gravity -150 --dt 0.05")

digest() { sha256sum "$1" | cut -c1-16; }

run() {  # label, format, command words...
  local label=$1 format=$2
  shift 2
  local out=(table.txt) extra=()
  case $format in
    table) ;;
    csv) extra=(--csv out.csv) ;;
    summary) extra=(--summary out.csv) ;;
    svg | png | pdf) extra=(--plot "out.$format") ;;
  esac
  rm -f out.* table.txt err.txt
  set +e
  "$study" "$@" "${extra[@]}" > table.txt 2> err.txt
  local status=$?
  set -e
  local sum
  case $format in
    # wall_ms (three decimals, before an optional note) and the padding that its width moves
    table) sum=$(sed -E 's/ +[0-9]+\.[0-9]{3}(  +few steps)?$/\1/; s/ +wall_ms(  +note)?$/\1/; s/ +/ /g' \
      table.txt | sha256sum | cut -c1-16) ;;
    csv) sum=$( [[ -f out.csv ]] && digest out.csv || echo none) ;;
    summary)
      # wall_ms, where there is one, is the last column
      strip='s/,[^,]*$//'
      [[ -f out.csv ]] && head -1 out.csv | grep -q ',wall_ms$' || strip=''
      sum=$( [[ -f out.csv ]] && sed -E "$strip" out.csv | sha256sum | cut -c1-16 || echo none) ;;
    pdf) sum=$( [[ -f out.pdf ]] && grep -av '/CreationDate' out.pdf | sha256sum | cut -c1-16 || echo none) ;;
    *) sum=$( [[ -f "out.$format" ]] && digest "out.$format" || echo none) ;;
  esac
  printf '%-48s %-5s status %d  %s  stderr %s\n' "$label" "$format" "$status" "$sum" \
    "$(tr '\n' ' ' < err.txt | cut -c1-120)"
}

each() {  # command words..., then the cases array name as the last word
  local -n cases=${!#}
  local words=("${@:1:$#-1}")
  for c in "${cases[@]}"; do
    local name=${c%%|*} args=${c#*|}
    for format in table csv summary svg png pdf; do
      # shellcheck disable=SC2086
      run "${words[*]}: $name" "$format" "${words[@]}" $args
    done
  done
}

each flight flight_cases
each spring spring_cases
each convergence flight convergence_flight
each convergence flight --double convergence_flight
each convergence spring convergence_spring
each convergence spring --double convergence_spring

for words in "" flight spring convergence "convergence flight" "convergence spring"; do
  # shellcheck disable=SC2086
  printf '%-48s help  %s\n' "${words:-(none)}" "$("$study" $words --help 2>&1 | sha256sum | cut -c1-16)"
done
