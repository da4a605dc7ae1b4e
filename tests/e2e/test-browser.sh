#!/usr/bin/env bash
# The user's browser for the end-to-end tests: follows the authorization URL to the identity
# provider's redirect and opens the callback URL as a desktop would, by starting tidyword
# with it (TIDYWORD_EXECUTABLE).
set -euo pipefail
callback=$(curl --silent --output /dev/null --write-out '%{redirect_url}' "$1")
exec "$TIDYWORD_EXECUTABLE" "$callback"
