# Sourced: reading a PE file's header from the shell.

# pe_machine FILE: the COFF header's machine field as four hex digits
# (014c x86, 8664 x64), read behind the PE signature that e_lfanew (at
# 0x3C) points to; nothing when the file has no PE signature there.
pe_machine() {
  local pe
  pe=$(od -An -tu4 -j 60 -N4 "$1" 2>/dev/null | tr -d ' ')
  [ -n "$pe" ] && [ "$(od -An -tx1 -j "$pe" -N4 "$1" 2>/dev/null | tr -d ' ')" = 50450000 ] || return 0
  od -An -tx2 -j $((pe + 4)) -N2 "$1" | tr -d ' '
}
