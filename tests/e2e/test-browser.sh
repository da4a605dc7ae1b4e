#!/usr/bin/env bash
# The user's browser for the end-to-end tests: follows the authorization URL to the identity
# provider's redirect and opens the callback URL as a desktop would, by starting tidyword
# with it (TIDYWORD_EXECUTABLE), or else through the desktop's handler of its scheme, as a
# browser does. STANDIN_CA names the stand-in's authority where the system does not trust it.
set -euo pipefail
callback=$(curl --silent ${STANDIN_CA:+--cacert "$STANDIN_CA"} --output /dev/null \
    --write-out '%{redirect_url}' "$1")
if [ -z "${TIDYWORD_EXECUTABLE:-}" ]; then
    exec gio open "$callback"
fi
exec "$TIDYWORD_EXECUTABLE" "$callback"
