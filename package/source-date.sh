#!/bin/sh
# package/source-date.sh SOURCE_DIR COMMAND...: runs COMMAND with SOURCE_DATE_EPOCH, the time the
# files of a release take: as the environment gives it, else the time of SOURCE_DIR's last
# commit, so that one commit makes the same cabinet wherever and whenever it is built.
set -eu
source_dir=$1
shift
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
    if ! SOURCE_DATE_EPOCH=$(git -C "$source_dir" log -1 --format=%ct 2>/dev/null); then
        echo "source-date.sh: $source_dir is no git checkout: set SOURCE_DATE_EPOCH" >&2
        exit 1
    fi
fi
export SOURCE_DATE_EPOCH
exec "$@"
