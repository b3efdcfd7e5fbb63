#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-2.0-or-later
# Fails when a program or library holds an instruction that a Socket A CPU cannot run.
# Every SSE2 vector instruction names an xmm register; so does SSE, which the Athlon
# Thunderbird and the early Durons lack as well, and which i686 code does not use. The rest of
# SSE2 are the fences, the cache flush and non-temporal stores, and the 64-bit integer
# operations on MMX registers.
#
# Usage: tools/check-no-sse2.sh FILE...   (objdump from binutils; x86 ELF and PE both work)
set -euo pipefail
status=0
for file in "$@"; do
  found=$(objdump -d --no-show-raw-insn "$file" |
    grep -E '%[xyz]mm[0-9]|\s(mfence|lfence|clflush|movnti|maskmovdqu|paddq|psubq|pmuludq)\s' ||
    true)
  if [ -n "$found" ]; then
    printf '%s\n' "$found" | head -n 20 >&2
    echo "$file: $(printf '%s\n' "$found" | wc -l) SSE or SSE2 instruction(s)" >&2
    status=1
  else
    echo "$file: $(objdump -d "$file" | grep -c '^ ') instructions, no SSE or SSE2"
  fi
done
exit $status
