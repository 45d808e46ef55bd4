#!/usr/bin/env bash
# The user's language follows the session's locale: klUser, setup_core_run's default
# target, is German under LANG=de_DE.UTF-8, French under fr_FR.UTF-8, and English under
# en_US.UTF-8 and for a language the translator has no table for (nl_NL). The locales are
# compiled into a folder of the test's own (LOCPATH), so the machine needs none installed.
# The test has a Wine prefix of its own: Wine writes the user's locale into the prefix's
# registry, where tests running beside this one would read it.
#   user_language.sh WINDOWS_SETUP_CORE_RUN WINE_RUN WINEPREFIX
set -euo pipefail
driver=$1 winerun=$2 prefix=$3
fail() { echo "user_language: $*" >&2; exit 1; }
[[ -f "$driver" ]] || fail "no Windows setup_core_run at $driver"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir locales
for locale in de_DE fr_FR nl_NL en_US; do
  localedef -i "$locale" -f UTF-8 "locales/$locale.UTF-8" >/dev/null 2>&1 ||
    fail "the locale $locale cannot be compiled (is the locales package installed?)"
done
# English has the text in capitals, so an English target shows apart from no target.
printf '10;HELLO\r\n' > en.txt
printf '10;Hallo\r\n' > de.txt
printf '10;Bonjour\r\n' > fr.txt

status=0
for pair in de_DE:Hallo fr_FR:Bonjour nl_NL:HELLO en_US:HELLO; do
  locale=${pair%%:*} expected=${pair#*:}
  got=$(LOCPATH="$work/locales" LANG="$locale.UTF-8" LC_ALL="" \
        "$winerun" --prefix "$prefix" --timeout 120 --mode plain "$driver" \
        --lang klEnglish=en.txt --lang klGerman=de.txt --lang klFrench=fr.txt text hello | tr -d '\r')
  if [[ "$got" != "$expected" ]]; then
    echo "user_language: under LANG=$locale.UTF-8 the text came out as '$got', not '$expected'" >&2
    status=1
  fi
done
exit $status
