#!/bin/sh
# A tour of libduduzuvez210 through its command-line client dzv, on the
# example data beside this script. Usage: examples/tour.sh BUILD_DIR
#
# Everything happens in a temporary directory that is removed at the end:
# the registry and the session clipboard are pointed there as well, so the
# tour never touches the user's own, and it needs no desktop.
set -eu

build=${1:-build/release}
dzv_bin=$(cd "$build" 2>/dev/null && pwd)/tools/dzv
if [ ! -x "$dzv_bin" ]; then
  echo "tour: no dzv in $build/tools; build first (cmake --build --preset release)" >&2
  exit 2
fi
data=$(cd "$(dirname "$0")/data" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/dzv-tour.XXXXXX")
trap 'rm -rf "$work"' EXIT
case $work in /*) ;; *) work=$(pwd)/$work ;; esac  # the library wants absolute paths
mkdir -m 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/runtime"
unset DISPLAY WAYLAND_DISPLAY
cp "$data/orders.txt" "$data/site.txt" "$data/orders.mdl" "$work"
cd "$work"

section() { printf '\n== %s\n' "$*"; }
# Shows a dzv command line, then runs it.
dzv() {
  printf '\n$ dzv'
  for word in "$@"; do
    case $word in
      *[!A-Za-z0-9._/=,:-]* | '') printf " '%s'" "$word" ;;
      *) printf ' %s' "$word" ;;
    esac
  done
  printf '\n'
  "$dzv_bin" "$@" 2>&1
}
# The same, for a command that is meant to fail: shows its exit status.
dzv_fails() {
  if dzv "$@"; then
    echo "tour: that should have failed" >&2
    exit 1
  else
    echo "(exit status $?)"
  fi
}

section "Dictionaries: a text form imported into an archive file"
dzv dict import orders.txt orders.dict
dzv dict show orders.dict
echo "(the order above is the library's own: by hash bucket, newest first; the"
echo " archive file keeps it, control bytes are shown as \\xHH)"
dzv dict show --text orders.dict
dzv dict get orders.dict Orders.Server
dzv dict attr orders.dict Field.Customer Label
dzv dict attr orders.dict Field.Discount S
echo "(Field.Discount has no structured value: S reads the item Field.Discount.Status Text)"

section "Changing an archive: every save replaces the file only when it is written whole"
dzv dict set orders.dict Orders.Currency CHF
dzv dict delete orders.dict Report.Header
dzv_fails dict get orders.dict Report.Header

section "Merging: a site's settings over the client's, list values keep both"
dzv dict import site.txt site.dict
dzv dict merge --prefix Orders. orders.dict site.dict merged.dict
dzv dict show merged.dict
dzv dict export merged.dict merged.txt
echo "$ cat merged.txt"
cat merged.txt

section "Damaged files are named and explained, and left as they are"
head -c 40 orders.dict > broken.dict
dzv_fails dict show broken.dict
dzv_fails dict set broken.dict Orders.Server db3
dzv_fails dict show missing.dict
printf 'These notes hold no settings.\r\n' > notes.txt
dzv_fails dict import notes.txt notes.dict

section "Profiles: a user layer over a default layer, each an archive file"
dzv profile set --layer default --default defaults.dict Window Left 100
dzv profile set --layer default --default defaults.dict Window Top 50
dzv profile set --user user.dict Window Left 120
dzv profile list --user user.dict --default defaults.dict Window
dzv profile get --user user.dict --default defaults.dict Window Left
dzv profile delete --user user.dict --default defaults.dict Window Left

section "Model files: every line classified, the object tree"
dzv model stats orders.mdl
dzv model outline orders.mdl

section "Registry (a SQLite database of the user's; here in the tour's directory)"
dzv registry write 'HKCU\Software\Acme\Orders' Server db1.example.com
dzv registry write 'HKCU\Software\Acme\Orders' Port 1521
dzv registry list 'HKCU\Software\Acme\Orders'
dzv registry read 'HKCU\Software\Acme\Orders' Server
dzv registry delete-key 'HKCU\Software\Acme'
dzv_fails registry read 'HKCU\Software\Acme\Orders' Server

section "Clipboard (the session clipboard: no desktop needed)"
dzv clipboard set "Order 4711: 3 lines"
dzv clipboard get

section "Credentials: are the sibling library and the database client there?"
dzv credentials status

printf '\nThe tour is over; its files are gone. Try dzv --help (%s).\n' "$dzv_bin"
