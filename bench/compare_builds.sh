#!/usr/bin/env bash
# Runs two builds side by side on the same inputs and says whether every
# output is byte-identical, with the CPU time (user + system) of each run.
#
# usage: bench/compare_builds.sh BUILD_A BUILD_B [WORK_DIR]
#
# Cases: "example", the README example as orvfixture writes it, and "sources",
# the same run with 25 sources 0.5 degrees apart (5 x 5 around the centre)
# and room for their puffs. Each build runs orvcalc, then deptally, in a copy
# of the case's run folder. Inputs come from BUILD_B's orvfixture.
set -u
[ $# -ge 2 ] || { echo "usage: $0 BUILD_A BUILD_B [WORK_DIR]" >&2; exit 2; }
a=$(realpath "$1") b=$(realpath "$2")
work=${3:-$(mktemp -d /tmp/orv_compare.XXXX)}
mkdir -p "$work" && work=$(realpath "$work")
for d in "$a" "$b"; do
    [ -x "$d/driver/orvcalc" ] && [ -x "$d/summing/deptally" ] || { echo "no orvcalc or deptally in $d" >&2; exit 2; }
done

"$b/tools/orvfixture" "$work/inputs" >/dev/null || exit 1
sources="$work/inputs/run_sources"
mkdir -p "$sources" && cp "$work/inputs/run/"* "$sources/"
# Lines 2 and 3 of CONTROL hold the source count and the one source.
awk 'NR == 2 { print "    25"; next }
     NR == 3 { for (i = -2; i <= 2; ++i) for (j = -2; j <= 2; ++j)
                   printf "%10.3f%10.3f%8.1f\n", 40 + 0.5 * i, -90 + 0.5 * j, 50; next }
     { print }' "$work/inputs/run/CONTROL" > "$sources/CONTROL"
sed -i 's/numpar = 100,/numpar = 2500,/; s/maxpar = [0-9]*,/maxpar = 100000,/' "$sources/SETUP.CFG"

TIMEFORMAT='%3U %3S'
# run CASE_DIR INPUT_RUN BUILD: prints "orvcalc_cpu deptally_cpu orvcalc_status deptally_status".
run() {
    mkdir -p "$1/run" && cp "$2/"* "$1/run/"
    ln -sfn "$work/inputs/receptors" "$1/receptors" && ln -sfn "$work/inputs/oxidants" "$1/oxidants"
    (
        cd "$1/run" || exit 1
        { time "$3/driver/orvcalc" >../console.txt 2>&1; } 2>../orvcalc.cpu; s1=$?
        { time "$3/summing/deptally" >../deptally_console.txt 2>&1; } 2>../deptally.cpu; s2=$?
        printf '%s %s %s %s\n' "$(awk '{ print $1 + $2 }' ../orvcalc.cpu)" \
            "$(awk '{ print $1 + $2 }' ../deptally.cpu)" "$s1" "$s2"
    )
}

differs=0
for c in example sources; do
    input="$work/inputs/run"; [ $c = sources ] && input=$sources
    read -r oa da sa ta < <(run "$work/$c/A" "$input" "$a")
    read -r ob db sb tb < <(run "$work/$c/B" "$input" "$b")
    same=identical
    for f in $( (ls "$work/$c/A/run"; ls "$work/$c/B/run") | sort -u) ../console.txt ../deptally_console.txt; do
        if ! cmp -s "$work/$c/A/run/$f" "$work/$c/B/run/$f"; then
            echo "$c: DIFFERS: ${f#../}"
            same=DIFFERENT differs=1
        fi
    done
    echo "$c: outputs $same; orvcalc status $sa/$sb, deptally status $ta/$tb"
    echo "$c: orvcalc CPU s  A $oa  B $ob  B/A $(awk -v x="$oa" -v y="$ob" 'BEGIN { printf "%.3f", y / x }')"
    echo "$c: deptally CPU s A $da  B $db"
done
echo "A = $a"
echo "B = $b"
echo "runs kept in $work"
exit $differs
