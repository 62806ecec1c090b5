# Sourced by the install and removal tests, after lib.sh and ring_lib.sh:
# what of ours can be left behind in the prefix, and an old-style COM
# registration to be cleaned up.

INST_CLSID='{2BEAE623-8F5F-4E4D-9AC2-356FF3995917}'
INST_LIBID='{29A6D473-CD3D-4B7A-B70D-B8E7D63ED0B7}'
INST_IID='{665A15F1-7469-4B48-A846-39C377D76035}'
INST_SETTINGS='HKCU\Software\VB and VBA Program Settings\Hushcall'
INST_ARP='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Hushcall'
# The 64-bit edition's entry is its own, so that both can be installed.
[ "$HC_WINE_ARCH" = win64 ] && INST_ARP+=' (x64)'
# The entry of an install per machine.
INST_ARP_MACHINE=HKLM${INST_ARP#HKCU}

# inst_reg ARGS...: `wine reg` in the registry view of the edition's own
# programs, whatever the kind of the reg that runs.
INST_REG_VIEW=/reg:32
[ "$HC_WINE_ARCH" = win64 ] && INST_REG_VIEW=/reg:64
inst_reg() { wine reg "$@" "$INST_REG_VIEW" </dev/null; }

inst_key_exists() { inst_reg query "$1" >/dev/null 2>&1; }

# Every registry key Hushcall or its installer may write, but the settings.
inst_our_keys() {
  local root
  for root in 'HKLM\Software\Classes' 'HKCU\Software\Classes'; do
    echo "$root\\CLSID\\$INST_CLSID"
    echo "$root\\Hushcall.Plugin"
    echo "$root\\TypeLib\\$INST_LIBID"
    echo "$root\\Interface\\$INST_IID"
  done
  echo "$INST_ARP"
  echo "$INST_ARP_MACHINE"
}

# Prints what of ours is left: keys, then files in FOLDER (the plug-in folder).
inst_left_over() {
  local key f
  while IFS= read -r key; do
    inst_key_exists "$key" && echo "$key"
  done < <(inst_our_keys)
  for f in gen_hushcall.dll Hushcall.dll Hushcall-uninstall.exe; do
    [ -e "$1/$f" ] && echo "$1/$f"
  done
  return 0
}

# An install of the old kind: Hushcall.dll registered with regsvr32.
inst_register_old() { wine regsvr32 /s "$(hc_winpath "$1")" </dev/null >/dev/null 2>&1; }

# inst_read_only PATH... / inst_writable PATH...: paths that Windows
# programs under Wine can't change ("access denied"), and back. Mode bits
# don't stop root, so root makes them immutable instead (e2e_end undoes what
# is listed in $HC_WORK/locked).
inst_read_only() {
  printf '%s\n' "$@" >>"$HC_WORK/locked"
  if [ "$(id -u)" = 0 ]; then chattr +i "$@"; else chmod a-w "$@"; fi
}
inst_writable() {
  if [ "$(id -u)" = 0 ]; then chattr -i "$@"; else chmod u+w "$@"; fi
}
