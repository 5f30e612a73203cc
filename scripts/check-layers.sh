#!/bin/sh
# Refuses an include of a higher layer: each folder of src/ may include only its
# own layer, the layers below it and the engine's protocol.
set -eu
cd "$(dirname "$0")/../src"
layers="platform core player remote widgets browser ui app"
bad=0
rank() { i=0; for l in $layers; do [ "$l" = "$1" ] && { echo $i; return; }; i=$((i + 1)); done; echo 99; }
for layer in $layers; do
    mine=$(rank "$layer")
    for inc in $(grep -ho '#include "[a-z]*/' "$layer"/* | sed 's/#include "//; s#/##' | sort -u); do
        [ "$inc" = protocol ] && continue
        if [ "$(rank "$inc")" -gt "$mine" ]; then
            grep -Hn "#include \"$inc/" "$layer"/* >&2
            bad=1
        fi
    done
done
[ $bad -eq 0 ] || { echo "check-layers: a layer includes one above it (order: $layers)" >&2; exit 1; }
