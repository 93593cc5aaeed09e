#!/usr/bin/env bash
# Packaging: builds the Debian package with the README's command, unpacks it into a scratch
# root and checks what a lab machine would get: the program and its manual page in place,
# dependencies computed from the binary, a manual page that renders without a warning and
# still quotes the texts the program prints, and a program that runs and exits cleanly; the
# variants off PATH, and a program that is the same whether the variants are built or not.
set -euo pipefail
cd "$(dirname "$0")/.."

fail() {
  echo "pass-package: $*" >&2
  exit 1
}

scripts/deps.sh dpkg-dev file man-db groff-base binutils
rm -f build-package/barbershop_*.deb
WERROR=ON make package
debs=(build-package/barbershop_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "expected one package, found: ${debs[*]}"
fi
deb=${debs[0]}

# Shared libraries found by dpkg-shlibdeps, each with a minimum version.
depends=$(dpkg-deb --field "$deb" Depends)
for library in libc6 libstdc++6 libcsv3; do
  [[ $depends == *"$library (>= "* ]] || fail "Depends lacks $library: $depends"
done

root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
program=$root/usr/bin/barbershop
page=$root/usr/share/man/man1/barbershop.1.gz
[ -x "$program" ] || fail "no executable usr/bin/barbershop in the package"
[ -f "$page" ] || fail "no usr/share/man/man1/barbershop.1.gz in the package"
[ -f "$root/usr/share/doc/barbershop/copyright" ] || fail "no copyright file in the package"
grep -q "MIT" "$root/usr/share/doc/barbershop/copyright" || fail "the copyright file names no licence"

# The companion: beside the program, with a manual page of its own that renders clean, and
# able to find the program beside it, type a scenario, run it and check it.
companion=$root/usr/bin/barbershop-trace
companion_page=$root/usr/share/man/man1/barbershop-trace.1.gz
[ -x "$companion" ] || fail "no executable usr/bin/barbershop-trace in the package"
[ -f "$companion_page" ] || fail "no usr/share/man/man1/barbershop-trace.1.gz in the package"
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$companion_page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "barbershop-trace(1) renders with warnings:"$'\n'"$warnings"
lexgrog "$companion_page" >/dev/null || fail "lexgrog finds no whatis line in barbershop-trace(1)"
# One version, from one place: the package's is the companion's.
version=$(dpkg-deb --field "$deb" Version)
[ "$("$companion" --version)" = "barbershop-trace $version" ] ||
  fail "barbershop-trace --version says $("$companion" --version), the package $version"
timeout 60 "$companion" --scenario lone --run --quiet >"$root/trace.out" 2>&1 ||
  fail "the packaged barbershop-trace could not run a scenario: $(cat "$root/trace.out")"

# Controlled runs: the scheduler library beside the variants, the variants without their widening
# sleeps, and symbols left in them for the companion to name their locks by.
[ -f "$root/usr/lib/barbershop/libbarbershop-scheduler.so" ] || fail "no scheduler library"
symbols=$(nm "$root/usr/lib/barbershop/variants/unwidened/lost-wakeup" 2>&1 || true)
[[ $symbols == *fgLock* ]] || fail "the packaged variants have no symbols to name their locks by"
set +e
timeout 120 "$companion" --variant lost-wakeup --explore 200 --jobs 1 >"$root/explore.out" 2>&1
explored=$?
set -e
[ "$explored" -eq 1 ] && grep -q "got stuck" "$root/explore.out" ||
  fail "the packaged barbershop-trace did not find the lost wake-up: $(cat "$root/explore.out")"

# The variants: every variants/NAME.patch as an executable in usr/lib/barbershop/variants, and
# nothing on PATH but the program and its companion.
for patch in variants/*.patch; do
  name=$(basename "$patch" .patch)
  [ -x "$root/usr/lib/barbershop/variants/$name" ] ||
    fail "no executable usr/lib/barbershop/variants/$name in the package"
done
on_path=$(cd "$root/usr/bin" && printf '%s ' *)
[ "$on_path" = "barbershop barbershop-trace " ] ||
  fail "usr/bin holds more than the two programs: $on_path"

# The program built without the variants, configured as `make package` configures it, must be
# the packaged program. Both are compared after `objcopy --strip-all` and without the build-id
# note: the debug information names the build directory, and the build-id is a hash over the
# whole linked file, that directory included, so these two differ between any two build trees.
# What is left is every byte that runs or is loaded (code, data, their layout and the headers),
# and it must be the same byte for byte.
plain="build-package-plain"
(export DEB_BUILD_MAINT_OPTIONS=hardening=+all &&
  cmake -S . -B "$plain" -DBARBERSHOP_TESTS=OFF -DBARBERSHOP_TRACE=ON -DBARBERSHOP_VARIANTS=OFF \
    -DBARBERSHOP_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null &&
  cmake --build "$plain" -j "$(nproc)" --target barbershop >"$plain/build.log" 2>&1) ||
  fail "the program alone did not build; see $plain/build.log"
for build in build-package "$plain"; do
  objcopy --strip-all --remove-section=.note.gnu.build-id "$build/barbershop" "$root/$build.cmp"
done
cmp -s "$root/build-package.cmp" "$root/$plain.cmp" ||
  fail "barbershop built with the variants differs from barbershop built without them"

# Rendering: a warning of any kind from groff fails the pass, and so does a bad NAME line.
warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$page" 2>&1 >/dev/null)
[ -z "$warnings" ] || fail "the manual page renders with warnings:"$'\n'"$warnings"
lexgrog "$page" >/dev/null || fail "lexgrog finds no whatis line in the manual page"
# One line, blanks collapsed, so that texts wrapped over two lines still match.
rendered=$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$page" 2>/dev/null | tr -s ' \n' '  ')

# The unpacked program ends with status 0 on Exit and at the end of its input. Every fixed
# text it prints after start-up (menu, prompts, messages, narration with the IDs written "id",
# state-block labels) is quoted in the manual page as the program prints it.
printf '7\n' | timeout 20 "$program" >/dev/null || fail "Exit did not end the program with 0"
answers='0\n2\n3\n5\n4\n1\n2\n0\n3\n1\nAnn\n100\n600\n1\nBob\n300\n100\n6\n'
printf '%b' "$answers" | timeout 20 "$program" >"$root/out" 2>"$root/err" ||
  fail "the program failed on: $answers"
[ ! -s "$root/err" ] || fail "the program wrote to standard error: $(cat "$root/err")"
checked=0
while IFS= read -r line; do
  case $line in
  "" | -*) continue ;;
  esac
  [[ $rendered == *"$line"* ]] || fail "the manual page does not quote: $line"
  checked=$((checked + 1))
done < <(sed -n '/^Menu:$/,$p' "$root/out" |
  sed -E 's/(choice|ID|\(in miniseconds\)|index): /\1:\n/g' |
  sed -E 's/Ann|Bob/id/g; s/(\[id\])+/[id]/g; s/ +$//')
[ "$checked" -ge 30 ] || fail "only $checked lines of the program's output were checked"

variants=$(find "$root/usr/lib/barbershop/variants" -type f | wc -l)
echo "pass-package: $(basename "$deb") (Depends: $depends) unpacks, renders and runs;" \
  "$checked output lines found in the manual page; $variants variants off PATH; the program" \
  "the same without them"
