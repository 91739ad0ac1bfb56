#!/usr/bin/env bash
# Every file the release build signed carries a valid Authenticode signature
# (SHA-256) by the given certificate: each .msi, the rdserver_ext.exe inside
# it and both executables in the zip. The unsigned build output fails the
# same check, so the check can fail.
#
#   signature_test.sh <certificate.pem> <unsigned.exe> <release.zip> <package.msi>...
set -euo pipefail
certificate="$1" unsigned="$2" zip="$3"
shift 3
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

verify() {
  local output
  output="$(osslsigncode verify -CAfile "$certificate" -in "$1" 2>&1)" \
    || fail "$1: $(tail -n 3 <<< "$output")"
  grep -q 'digest algorithm *: SHA256' <<< "$output" || fail "$1 is not signed with SHA-256"
  echo "signed: ${1#"$work"/}"
}

osslsigncode verify -CAfile "$certificate" -in "$unsigned" > /dev/null 2>&1 \
  && fail "the unsigned $unsigned passes the check"

unzip -q "$zip" -d "$work/zip"
programs=("$work"/zip/*/rdserver_ext.exe "$work"/zip/*/rdservice_sim.exe)
for msi in "$@"; do
  verify "$msi"
  extracted="$work/msi/$(basename "$msi")"
  mkdir -p "$extracted"
  msiextract -C "$extracted" "$msi" > /dev/null
  programs+=("$(find "$extracted" -name rdserver_ext.exe)")
done
for program in "${programs[@]}"; do
  [ -f "$program" ] || fail "missing: $program"
  verify "$program"
done
