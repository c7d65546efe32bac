#!/usr/bin/env bash
# Renders every bundled effect on every sample with several option sets and
# prints one line per render: the SHA-256 of the GIF and the render's name.
# Two manifests made before and after a change show whether any saved byte
# moved; tests/cli/bundled_renders.sha256 holds the current contract.
#
#   tools/render-manifest.sh RENDERER [EFFECTS_DIR] > manifest
set -euo pipefail
renderer=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cd "$(dirname "$0")/.."
effects_dir=${2:-Effects}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# name|options: each set is run on every sample.
option_sets=(
    "defaults|"
    "short|-n 5 -d 0.2 -l 3"
    "backward-small|--direction backward -n 4 --size small"
    "full-bounce|--size full -n 3 --direction forward-and-back -d 0.05"
)
samples=(samples/*.gif)

render() { # name options... images...
    local name=$1
    shift
    local out="$scratch/$name.gif"
    if "$renderer" -q -o "$out" "$@" 2>"$scratch/err"; then
        printf '%s  %s\n' "$(sha256sum <"$out" | cut -d' ' -f1)" "$name"
    else
        printf 'failed(%d)  %s\n' "$?" "$name"
    fi
}

for effect in "$effects_dir"/*.zoml; do
    stem=$(basename "$effect" .zoml)
    for set in "${option_sets[@]}"; do
        label=${set%%|*}
        read -r -a opts <<<"${set#*|}"
        for sample in "${samples[@]}"; do
            render "$stem.$label.$(basename "$sample" .gif)" -e "$stem" "${opts[@]}" "$sample"
        done
    done
    # Every sample in the palette, the second one chosen.
    render "$stem.palette-select2" -e "$stem" -n 6 -s 2 "${samples[@]}"
done
