# Sourced by the screenshot tools: the window lists the folder it starts in and every folder above it,
# so screenshots taken from a checkout would show where that checkout lives on this machine.
#   samples_folder CHECKOUT   sets $samples to the folder the window is started in: $SAMPLES when it is
#                             set, otherwise a fresh copy of CHECKOUT/samples at /tmp/flintor-samples
#                             (or, if another run holds that name, a fresh /tmp/flintor-samples.XXXXXX),
#                             which the caller removes with remove_samples_folder.
samples_folder() {
  local checkout="$1"
  samples_copy=""
  if [ -n "${SAMPLES:-}" ]; then
    samples="$(cd "$SAMPLES" && pwd)"
    return
  fi
  if mkdir /tmp/flintor-samples 2>/dev/null; then
    samples_copy=/tmp/flintor-samples
  else
    samples_copy="$(mktemp -d /tmp/flintor-samples.XXXXXX)"
    echo "note: /tmp/flintor-samples is taken; the screenshots show $samples_copy" >&2
  fi
  cp -R "$checkout/samples/." "$samples_copy/"
  samples="$samples_copy"
}

remove_samples_folder() {
  [ -z "${samples_copy:-}" ] || rm -rf "$samples_copy"
}
