#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a Linux desktop
# reads from it: the launcher entry and the AppStream metainfo validate (no
# network), the icon, manual pages and completion are in place, the installed
# programs run, and the completion offers every command, option, model and
# setting that lumenote-cli itself lists.
# Usage: DesktopInstallTest.sh <source dir> <build dir>
set -uo pipefail
src=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

appstreamcli validate --no-net "$src/data/io.corvana.Lumenote.metainfo.xml" || fail "metainfo does not validate"
desktop-file-validate "$src/data/io.corvana.Lumenote.desktop" || fail "desktop entry does not validate"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install failed"; }
for f in bin/lumenote bin/lumenote-cli; do
  [ -x "$prefix/$f" ] || fail "$f is not installed as a program"
done
for f in share/applications/io.corvana.Lumenote.desktop share/metainfo/io.corvana.Lumenote.metainfo.xml \
         share/icons/hicolor/scalable/apps/io.corvana.Lumenote.svg share/man/man1/lumenote.1 \
         share/man/man1/lumenote-cli.1 share/bash-completion/completions/lumenote-cli; do
  [ -s "$prefix/$f" ] || fail "$f is not installed"
done
appstreamcli validate-tree --no-net "$prefix" || fail "the installed tree does not validate"
for page in "$prefix"/share/man/man1/*.1; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done

# The installed command line, in a home of its own.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME"
cli=$prefix/bin/lumenote-cli
help=$("$cli" --help) || fail "the installed lumenote-cli does not run"

# What the completion offers for the words after "lumenote-cli".
complete_words() {
  bash --norc --noprofile -c '
    source "$1"; shift
    COMP_WORDS=(lumenote-cli "$@"); COMP_CWORD=$(( ${#COMP_WORDS[@]} - 1 ))
    _lumenote_cli; printf "%s\n" "${COMPREPLY[@]}"' _ "$prefix/share/bash-completion/completions/lumenote-cli" "$@"
}
expect_offered() {  # <what> <expected words> -- <words typed>
  local what=$1 expected=$2; shift 3
  local offered; offered=$(complete_words "$@")
  for w in $expected; do
    grep -qxF -- "$w" <<<"$offered" || fail "completion of '$*' lacks $what $w"
  done
}

commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | awk 'NR > 1 && NF { print $1 }')
[ -n "$commands" ] || fail "no commands in lumenote-cli --help"
expect_offered command "$commands" -- ""
for c in $commands; do
  subs=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | awk -v c="$c" '$1 == c && $2 ~ /\|/ { gsub(/\|/, " ", $2); print $2 }')
  if [ -n "$subs" ]; then
    expect_offered "sub-command" "$subs" -- "$c" ""
    for s in $subs; do
      options=$("$cli" "$c" "$s" --help | grep -oE '^  --[a-z-]+' | tr -d ' ')
      expect_offered option "$options" -- "$c" "$s" "--"
    done
  else
    options=$("$cli" "$c" --help | grep -oE '^  --[a-z-]+' | tr -d ' ')
    expect_offered option "$options" -- "$c" "--"
  fi
done
models=$("$cli" models list | awk '$1 ~ /^openai_/ { print $1 } $1 == "*" { print $2 }')
[ -n "$models" ] || fail "no models in lumenote-cli models list"
expect_offered model "$models" -- models select ""
expect_offered model "$models" -- process --model ""
keys=$("$cli" settings get | awk '{ print $1 }')
[ -n "$keys" ] || fail "no settings in lumenote-cli settings get"
expect_offered setting "$keys" -- settings set ""

if [ "$failures" -ne 0 ]; then
  echo "$failures problem(s)"
  exit 1
fi
echo "desktop files validated and installed"
