#!/bin/sh
# Renders the README's screenshots from the built UI package with kbpreview (src/preview), offscreen.
# Usage: docs/screenshots/update.sh [build folder]   (default: build)
set -e
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../../build}/bin" && pwd)
# The style sheet names its images relative to the program folder, the program's working directory.
cd "$bin"
for lang in en cn; do
    ./kbpreview --layout XML_MAINWND --lang "$lang" --out "$here/main_$lang.png"
    ./kbpreview --layout macro --lang "$lang" --out "$here/macro_$lang.png"
    ./kbpreview --layout macro --lang "$lang" --tab tab_macro_mode_selection=1 --out "$here/macro_single_key_$lang.png"
done
