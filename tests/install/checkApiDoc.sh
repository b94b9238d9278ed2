#!/usr/bin/env bash
# Generates the API reference into WORK_DIR and checks that the header's documentation reached
# it: the page of dravix.h with the exports, a record's members and a function's comment.
# usage: checkApiDoc.sh SOURCE_DIR WORK_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/installLayout.sh"

SOURCE="$1"
WORK="$2"

rm -rf "$WORK"
bash "$SOURCE/scripts/apidoc.sh" --no-setup "$WORK"
PAGE="$WORK/html/dravix_8h.html"
[[ -f "$WORK/html/index.html" && -f "$PAGE" ]] || fail "no page of dravix.h in $WORK/html"

# Text each documented place must show, as it appears in the generated HTML.
EXPECTED=(
    "$PAGE|class=\"memtitle\".*ZEL_CAM_Open\(\)"
    "$PAGE|Every function returns a 32-bit signed result"
    "$PAGE|runs on the library's interrupt thread when the white balance ends"
    "$PAGE|Camera lifecycle"
    "$WORK/html/structDeviceStatus.html|set by the save-finished interrupt"
)
for entry in "${EXPECTED[@]}"; do
    IFS='|' read -r file pattern <<<"$entry"
    grep -Eq -- "$pattern" "$file" 2>/dev/null || fail "${file#"$WORK"/} lacks: $pattern"
done

if [[ $FAILURES -ne 0 ]]; then
    exit 1
fi
rm -rf "$WORK"
echo "API reference: ok"
