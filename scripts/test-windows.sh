#!/usr/bin/env bash
# The Windows part of the test suite: installs what is missing
# (windows-deps.sh), cross-builds for 64-bit Windows with mingw-w64 the
# shipped DLLs hook-free into <build folder>-release and checks their export
# tables, then everything with the tests into the build folder (default
# build-win), and runs every test program under Wine in a throw-away prefix.
# Fails when a test fails. Usage: test-windows.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=$(realpath -m "${1:-build-win}")
release="$build-release"
source scripts/windows-paths.sh

scripts/windows-deps.sh "$deps"

export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
cross=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$prefix"
  -DCMAKE_BUILD_TYPE=Release)

# What ships, as the README's release command builds it: no test hook, and
# export tables as committed.
echo "== Windows release build of the shipped DLLs"
cmake -S . -B "$release" "${cross[@]}" -DKS_BUILD_TESTS=OFF -DKS_TEST_HOOKS=OFF >/dev/null
cmake --build "$release" -j"$(nproc)" --target Corvane.Keystead.Plugin KeysteadVault \
  Corvane.Keystead.SDKLib keystead-host
scripts/check-exports.sh windows "$release"
# Each shipped module carries the project's version in its version resource.
version=$(sed -n 's/^#define KEYSTEAD_VERSION "\(.*\)"$/\1/p' "$release/generated/KeysteadVersion.h")
/usr/bin/python3 scripts/check-version-resource.py "$version" "$release/plugin/Corvane.Keystead.Plugin.dll" \
  "$release/vault/KeysteadVault.dll" "$release/engine-sim/Corvane.Keystead.SDKLib.dll" \
  "$release/host/keystead-host.exe"

echo "== Windows cross build with the tests"
cmake -S . -B "$build" "${cross[@]}" -DKS_BUILD_TESTS=ON -DKS_TEST_HOOKS=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

# Tests that are meaningful on POSIX only, left out under Windows, with the reason.
posix_only=(
  "RegistryTest.*:RegistryMalformedTest.*|the KEYSTEAD_REGISTRY file stands in for the registry on POSIX; Win32RegistryTest reads the real one"
  "KnownFoldersTest.*|XDG and /var/lib defaults; Win32KnownFoldersTest asks SHGetKnownFolderPath"
  "ProcessLaunchTest.*|POSIX shell scripts, signals and reaping; Win32ProcessLaunchTest starts programs through ShellExecuteExW"
  "DynamicLibraryTest.ResolvesExportedSymbolsOnly:DynamicLibraryTest.SharedLibraryFileNameFollowsThePlatform|dlopen of a .so; Win32DynamicLibraryTest loads a DLL"
  "FileSystemTest.CreatesEveryMissingFolderWithMode0755|POSIX file modes"
  "MachineFilesTest.*|POSIX file modes; Win32MachineFilesTest checks the SDDL folder and publishing"
  "DataProtectionTest.TheMachineKeyIsCreatedOnceReadableByAllAndKept:DataProtectionTest.AnUnusableKeyFileIsNeverReplaced:DataProtectionTest.ABlobOfAnotherMachineDoesNotOpen:DataProtectionConcurrencyTest.*|the machine key file of the POSIX data protection; DPAPI keeps its own keys"
  "DataProtectionTest.ATamperedOrTruncatedBlobDoesNotOpen|the POSIX blob format (DPAPI ignores bytes appended to a blob); Win32DataProtectionTest tampers inside the blob"
  "CodeSignatureTest.TrustsOnlyFilesThatNobodyElseCanChange:CodeSignatureTest.FollowsLinksToTheRealFileAndFolder:CodeSignatureTest.FindsTheExecutableAndTheModuleOfAnAddress:CodeSignatureTest.ATestVerifierReplacesThePlatformCheckWhileItLives|the POSIX ownership rules, symbolic links and /proc; Win32CodeSignatureTest checks WinVerifyTrust"
  "CCryptoTest.MatchesTheOpensslCommandLineToolByteForByte|runs the openssl tool, which Windows lacks; CipherVectorsTest checks the tool's committed vectors"
  "CVaultTest.TheVaultIsReadableByAllAndWritableByItsOwnerOnly|POSIX file modes; Win32MachineFilesTest checks the SDDL of the folder"
  "CVaultTest.AnUnusableFolderLeavesThePathEmptyAndAnExistingOneUnchanged|POSIX file modes"
  "CVaultTest.AMasterPasswordProtectedOnAnotherMachineCannotBeRead:CVaultTest.WritesNothingWhenTheMasterPasswordCannotBeProtected:VaultOperationsTest.SecretOperationsRefuseAMasterPasswordFromAnotherMachine|another machine is simulated with the POSIX machine key file"
  "VSUAPITest.ALibraryFailingTheOwnershipCheckIsNeverLoaded:SuiteAccountTest.ALibraryFailingTheOwnershipCheckIsNeverLoaded|the POSIX trust rule (file modes); on Windows VSUAPITest.TheLibraryIsVerifiedAtTheSuiteFolderBeforeLoading refuses through the verifier"
  "ExportsTest.CallvfyRunsThePlatformCheck:ExportsTest.SecretExportsWorkWhenTheBuildFolderPassesTheCheck|the POSIX trust rule; WinVerifyTrust rejects the unsigned test build (Win32CodeSignatureTest), so ExportsTest.SecretExportsWorkForACallerTheHookTrusts reaches the secrets through the library's test hook"
)
filter=""
echo "Left out under Windows (meaningful on POSIX only):"
for entry in "${posix_only[@]}"; do
  filter+="${filter:+:}${entry%%|*}"
  echo "  ${entry%%|*}: ${entry#*|}"
done

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/keystead-wine.XXXXXX")
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  WINEPREFIX=$WINEPREFIX "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
echo "== Wine prefix $WINEPREFIX"
# One wineserver for the whole run: a program started just as an idle server
# shuts down fails at once ("recvmsg: Connection reset by peer").
"$wineserver" -p
"$wine" wineboot --init >/dev/null 2>&1

# The test programs find the DLLs they link in the folders of WINEPATH.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
export WINEPATH="$(winpath "$build/vault");$(winpath "$build/engine-sim");$(winpath "$build/plugin")"

# Each test program ends within seconds; a hung one fails instead of holding the run.
program_limit=300
passed=0
failed=0
failures=()
for program in "$build"/tests/ks_*_tests.exe; do
  name=$(basename "$program")
  echo "== $name (Wine)"
  # Standard input from /dev/null: nothing started by a test waits on the terminal.
  # Output to a file, not a pipe: Wine's desktop process, started by the first
  # program that needs it, inherits the program's output and may outlive it
  # (seen: by seconds here, for good on CI), and a pipe's reader waits for it.
  # A program that crashes under Wine may still exit with 0: only GoogleTest's
  # own summary without a failure counts as passing.
  log="$build/tests/$name.wine.log"
  (cd "$build/tests" && timeout --kill-after=10 "$program_limit" \
    "$wine" "$program" --gtest_filter="-$filter" </dev/null >"$log" 2>&1) ||
    echo "$name ended with status $? (124: still running after ${program_limit}s)" >>"$log"
  cat "$log"
  if grep -Eq '^\[  PASSED  \] [0-9]+ test' "$log" && ! grep -q '^\[  FAILED  \]' "$log"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
done

# The reference host built for Windows serves the plug-in under Wine.
echo "== keystead-host.exe (Wine): /status/deviceid"
port=28787
"$wine" "$build/host/keystead-host.exe" --port "$port" \
  --plugin "$(winpath "$build/plugin/Corvane.Keystead.Plugin.dll")" --web "$(winpath "$root/web")" \
  </dev/null >"$build/host/keystead-host.wine.log" 2>&1 &
host_pid=$!
answer=""
for _ in $(seq 1 60); do
  answer=$(curl -s -m 5 -H "Content-Type: application/json" -H "Accept: application/json" \
    -w ' %{http_code}' "http://127.0.0.1:$port/q/v1/status/deviceid" 2>/dev/null) && break
  sleep 1
done
kill "$host_pid" 2>/dev/null || true
wait "$host_pid" 2>/dev/null || true
echo "answer: $answer"
if [ "${answer##* }" = 200 ]; then
  passed=$((passed + 1))
else
  failed=$((failed + 1))
  failures+=("keystead-host.exe")
fi

echo "Windows test programs: $passed passed, $failed failed"
[ "$failed" -eq 0 ] || {
  echo "Failed under Wine: ${failures[*]}"
  exit 1
}
