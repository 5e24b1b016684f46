#!/bin/sh
# librk.so exports the sixteen RK_ functions and nothing else.
# Usage: check_exports.sh path/to/librk.so
set -eu
expected="RK_CheckExchange RK_Close RK_CountFileCS RK_DeleteFile RK_Exchange RK_GetDefaultParamBlock
RK_GetErrorText RK_GetParamBlock RK_GetStatistics RK_GetTransferInfo RK_Open RK_OpenIdStr
RK_ReceiveFile RK_ReceiveFileCS RK_ResetStatistics RK_SendFile"
actual=$(nm -D --defined-only "$1" | awk '{print $3}' | grep -v '^$' | sort | tr '\n' ' ')
wanted=$(echo $expected | tr ' ' '\n' | sort | tr '\n' ' ')
if [ "$actual" != "$wanted" ]; then
  echo "exported: $actual"
  echo "expected: $wanted"
  exit 1
fi
echo "librk.so exports exactly the 16 RK_ functions"
