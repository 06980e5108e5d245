#!/usr/bin/env bash
# CTest fixture: stops the FTP server started by ftp_server_start.sh.
state="$1"
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/own-process.sh"
stop_own_process "$state/pid" "$state/root"
rm -rf "$state/root" "$state/local"
exit 0
