# A short soak: 120 calls through 12 players at once (popups answered, a
# line hung up and back, result lines in pieces and among noise), about
# three minutes. Every call must get its reaction and no port may go deaf:
# a notification lost in a message box's loop once left a port deaf for good.
set -u
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp)
trap 'rm -f "$out"' EXIT
bash "$root/bench/soak.sh" --arch "${HC_WINE_ARCH:-win32}" --calls 120 --cycles 0 >"$out" 2>&1
rc=$?
summary=$(grep '^soak: \(PASS\|FAIL\)' "$out")
echo "$summary"
if [ $rc -ne 0 ] || [[ "$summary" != "soak: PASS"* ]]; then
  echo "FAIL: the short soak"
  sed -n '/^Calls:/,/^COM cycles/p' "$out"
  exit 1
fi
echo "PASS: the short soak"
