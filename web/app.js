// Demo page of the Keystead reference host: engine status, camera choice and
// the two face captures (enroll, log in), all through the page client.
import { KeysteadClient } from '/keystead-client.js';

const client = new KeysteadClient();

const $ = (id) => document.getElementById(id);

// Assigning the same text again would make some screen readers repeat it.
function say(id, text) {
  const element = $(id);
  if (element.textContent !== text) element.textContent = text;
}

// ---- engine status and cameras ---------------------------------------------

const yesNo = (flag) => (flag ? 'yes' : 'no');

async function refreshStatus() {
  say('engine-error', '');
  const [status, camera] = await Promise.allSettled([
    client.getStatus(),
    client.getCameraStatus(),
  ]);
  const failed = [status, camera].find((outcome) => outcome.status === 'rejected');
  if (failed) say('engine-error', describe(failed.reason));
  const doc = status.value || {};
  const capabilities = doc.capabilities;
  $('status-value').textContent = doc.status !== undefined ? String(doc.status) : '—';
  $('status-face').textContent = capabilities ? yesNo(capabilities.faceFactor) : '—';
  $('status-fingerprint').textContent = capabilities ? yesNo(capabilities.fingerprintFactor) : '—';
  $('status-device').textContent = capabilities ? yesNo(capabilities.deviceID) : '—';
  $('status-affiliate').textContent = doc.affID || '—';
  $('camera-state').textContent = camera.status === 'fulfilled' ? String(camera.value) : '—';
}

// An error as one readable line.
function describe(error) {
  const message = error && error.message ? error.message : String(error);
  return typeof error.code === 'number' ? `${message} (code ${error.code})` : message;
}

async function loadCameras() {
  const select = $('camera-select');
  let cameras = [];
  let problem = null;
  try {
    cameras = await client.getCameras();
  } catch (error) {
    problem = describe(error);
  }
  select.replaceChildren();
  if (problem || cameras.length === 0) {
    select.append(new Option(problem || 'No camera found', ''));
    select.disabled = true;
    return;
  }
  for (const camera of cameras) {
    const option = new Option(camera.name, String(camera.id), false, Boolean(camera.selected));
    option.dataset.name = camera.name;
    select.append(option);
  }
  select.disabled = false;
}

async function selectCamera() {
  const option = $('camera-select').selectedOptions[0];
  if (!option) return;
  say('camera-message', 'Switching camera…');
  try {
    await client.selectCamera({ id: Number(option.value), name: option.dataset.name });
    say('camera-message', `Using ${option.dataset.name}`);
  } catch (error) {
    say('camera-message', describe(error));
  }
  await loadCameras();
}

// ---- preview drawing -------------------------------------------------------

let framesShown = 0;

// Draws one engine frame (BGR or BGRA bytes, or grey) from its base64 image.
function drawFrame(frame) {
  const { width, height, channels } = frame;
  if (!frame.image || !(width > 0) || !(height > 0) || ![1, 3, 4].includes(channels)) return;
  const binary = atob(frame.image);
  if (binary.length < width * height * channels) return;
  const canvas = $('preview');
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  const context = canvas.getContext('2d');
  const picture = context.createImageData(width, height);
  const rgba = picture.data;
  for (let pixel = 0, at = 0; pixel < width * height; pixel += 1, at += channels) {
    const out = pixel * 4;
    if (channels === 1) {
      const grey = binary.charCodeAt(at);
      rgba[out] = grey;
      rgba[out + 1] = grey;
      rgba[out + 2] = grey;
    } else {
      rgba[out] = binary.charCodeAt(at + 2);
      rgba[out + 1] = binary.charCodeAt(at + 1);
      rgba[out + 2] = binary.charCodeAt(at);
    }
    rgba[out + 3] = 255;
  }
  context.putImageData(picture, 0, 0);
  setFramesShown(framesShown + 1);
}

// Frames drawn by the running (or last) capture.
function setFramesShown(count) {
  framesShown = count;
  $('preview').dataset.frames = String(count);
  $('frame-count').textContent = String(count);
}

// ---- the two captures ------------------------------------------------------

// What a final document means for the user.
function enrollmentOutcome(document) {
  const count = Array.isArray(document.data.frames) ? document.data.frames.length : 0;
  return {
    outcome: 'enrolled',
    text: `Enrollment complete: ${count} processed frame${count === 1 ? '' : 's'} stored`,
  };
}

function matchOutcome(document) {
  if (document.matchStatus) return { outcome: 'matched', text: 'Logged in: your face matched' };
  const reason = document.cloudError ? `: ${document.cloudError}` : '';
  return {
    outcome: 'not-matched',
    text: `Face did not match${reason} (next step ${document.nextStep})`,
  };
}

const FLOWS = {
  enroll: {
    label: 'Enrolling',
    start: (options) => client.enroll({ ...options, reEnroll: false }),
    outcome: enrollmentOutcome,
  },
  login: {
    label: 'Logging in',
    start: (options) => client.match({ ...options, caller: $('caller').value }),
    outcome: matchOutcome,
  },
};

let activeCapture = null;

function showResult(outcome, text) {
  const result = $('result');
  result.dataset.outcome = outcome;
  say('result', text);
}

function clearOutcome() {
  delete $('result').dataset.outcome;
  say('result', '');
  say('capture-error', '');
  say('stop-outcome', '');
}

// Keeps keyboard focus on a control that can act: Stop while capturing, the
// button that started the capture (named like its flow) afterwards, since a
// disabled button loses focus.
function setRunning(name, running) {
  const focusWasOn = document.activeElement;
  document.body.dataset.flow = running ? name : 'idle';
  $('enroll').disabled = running;
  $('login').disabled = running;
  $('stop').disabled = !running;
  $('preview').setAttribute('aria-label', `Camera preview, camera ${running ? 'on' : 'off'}`);
  if (running && focusWasOn === $(name)) $('stop').focus();
  if (!running && focusWasOn === $('stop')) $(name).focus();
}

function reportStop(error) {
  $('stop-outcome').dataset.status = error ? String(error.status) : '200';
  say('stop-outcome', error ? `Stop failed: ${describe(error)}` : 'Camera stopped');
  say('feedback', '');
}

async function startFlow(name) {
  if (activeCapture) return;
  const flow = FLOWS[name];
  clearOutcome();
  setFramesShown(0);
  say('feedback', `${flow.label}…`);
  activeCapture = flow.start({
    email: $('email').value.trim(),
    streamType: 'IMAGE',
    previewType: 'NORMAL',
    onFrame: drawFrame,
    onFeedback: (feedback) => say('feedback', feedback.description),
    onResult: (document) => {
      const { outcome, text } = flow.outcome(document);
      showResult(outcome, text);
    },
    onError: (error) => say('capture-error', describe(error)),
    onStop: reportStop,
  });
  setRunning(name, true);
  try {
    await activeCapture.done;
  } catch {
    // Shown by onError already.
  } finally {
    activeCapture = null;
    setRunning(name, false);
  }
}

// The camera is released once the plug-in has answered; until then say so.
function stopCapture() {
  if (!activeCapture) return;
  say('feedback', 'Stopping…');
  activeCapture.stop();
}

window.addEventListener('DOMContentLoaded', () => {
  $('refresh-status').addEventListener('click', refreshStatus);
  $('camera-select').addEventListener('change', selectCamera);
  $('enroll').addEventListener('click', () => startFlow('enroll'));
  $('login').addEventListener('click', () => startFlow('login'));
  $('stop').addEventListener('click', stopCapture);
  document.addEventListener('keydown', (event) => {
    if (event.key === 'Escape') stopCapture();
  });
  // Leaving the page must not leave the camera on for the display time-out.
  window.addEventListener('pagehide', () => activeCapture?.stop());
  refreshStatus();
  loadCameras();
});
