// Demo page of the Keystead reference host: engine status, camera choice and
// the two polled face flows (enroll, log in) against the plug-in's HTTP API.
'use strict';

const API = '/q/v1';

const $ = (id) => document.getElementById(id);

// ---- talking to the plug-in ------------------------------------------------

// A fresh id for one capture session: "QCID" + a random UUID + "QCID", 44 characters.
function newCorrelationId() {
  if (window.crypto && typeof crypto.randomUUID === 'function') {
    return `QCID${crypto.randomUUID()}QCID`;
  }
  const bytes = crypto.getRandomValues(new Uint8Array(16));
  bytes[6] = (bytes[6] & 0x0f) | 0x40;
  bytes[8] = (bytes[8] & 0x3f) | 0x80;
  const hex = Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
  const uuid = `${hex.slice(0, 8)}-${hex.slice(8, 12)}-${hex.slice(12, 16)}-` +
               `${hex.slice(16, 20)}-${hex.slice(20)}`;
  return `QCID${uuid}QCID`;
}

// The plug-in's error document, or the host's own, as one readable text.
function errorText(document) {
  const error = document && document.error;
  if (!error) return null;
  const description = error.description || 'Unknown error';
  return error.code !== undefined ? `${description} (code ${error.code})` : description;
}

// One request; resolves to { status, document }. A body that is not JSON, or a
// request that never got an answer, becomes a host-style error document so
// that callers only ever show descriptions.
async function callApi(method, path, { body, headers = {}, signal } = {}) {
  let response;
  try {
    response = await fetch(API + path, {
      method,
      headers: { 'Content-Type': 'application/json', ...headers },
      body: body === undefined ? undefined : JSON.stringify(body),
      cache: 'no-store',
      signal,
    });
  } catch (failure) {
    if (failure.name === 'AbortError') throw failure;
    return { status: 0, document: { error: { description: 'The host did not answer' } } };
  }
  const text = await response.text();
  if (text.trim() === '') return { status: response.status, document: {} };
  try {
    return { status: response.status, document: JSON.parse(text) };
  } catch {
    return {
      status: response.status,
      document: { error: { description: `Unreadable answer (HTTP ${response.status})` } },
    };
  }
}

// ---- engine status and cameras ---------------------------------------------

const yesNo = (flag) => (flag ? 'yes' : 'no');

async function refreshStatus() {
  const engineError = $('engine-error');
  engineError.hidden = true;
  const [status, camera] = await Promise.all([
    callApi('GET', '/status/qav'),
    callApi('GET', '/camera/status'),
  ]);
  const problem = errorText(status.document) || errorText(camera.document);
  if (problem) {
    engineError.textContent = problem;
    engineError.hidden = false;
  }
  const doc = status.document;
  const capabilities = doc.capabilities || {};
  $('status-value').textContent = doc.status !== undefined ? String(doc.status) : '—';
  $('status-face').textContent = doc.capabilities ? yesNo(capabilities.faceFactor) : '—';
  $('status-fingerprint').textContent =
    doc.capabilities ? yesNo(capabilities.fingerprintFactor) : '—';
  $('status-device').textContent = doc.capabilities ? yesNo(capabilities.deviceID) : '—';
  $('status-affiliate').textContent = doc.affID || '—';
  const deviceStatus = camera.document.deviceStatus;
  $('camera-state').textContent = deviceStatus === undefined ? '—' : String(deviceStatus);
}

async function loadCameras() {
  const select = $('camera-select');
  const { document } = await callApi('GET', '/devices/video');
  select.replaceChildren();
  const devices = Array.isArray(document.devices) ? document.devices : [];
  if (errorText(document) || devices.length === 0) {
    select.append(new Option(errorText(document) || 'No camera found', ''));
    select.disabled = true;
    return;
  }
  for (const device of devices) {
    const option = new Option(device.name, String(device.id), false, Boolean(device.selected));
    option.dataset.name = device.name;
    select.append(option);
  }
  select.disabled = false;
}

async function selectCamera() {
  const select = $('camera-select');
  const option = select.selectedOptions[0];
  if (!option) return;
  const message = $('camera-message');
  message.textContent = 'Switching camera…';
  const { document } = await callApi('POST', '/devices/video', {
    body: { id: Number(option.value), name: option.dataset.name, selected: true },
  });
  message.textContent = errorText(document) || `Using ${option.dataset.name}`;
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

// Frames drawn by the running (or last) flow.
function setFramesShown(count) {
  framesShown = count;
  $('preview').dataset.frames = String(count);
  $('frame-count').textContent = String(count);
}

// ---- the two capture flows -------------------------------------------------

// What one poll answer means for the flow.
function readEnrollment(doc) {
  const data = doc.data;
  if (!data) return { kind: 'wait' };
  if (data.processed) {
    const count = Array.isArray(data.frames) ? data.frames.length : 0;
    return {
      kind: 'result', outcome: 'enrolled',
      text: `Enrollment complete: ${count} processed frame${count === 1 ? '' : 's'} stored`,
    };
  }
  if (data.feedback) return { kind: 'feedback', feedback: data.feedback };
  if (Array.isArray(data.frames) && data.frames[0]) return { kind: 'frame', frame: data.frames[0] };
  return { kind: 'wait' };
}

function readMatch(doc) {
  // The final match document carries a numeric nextStep and the next-step data;
  // frames and feedback carry an empty nextStep text.
  if (typeof doc.nextStep === 'number' || doc.nextStepData) {
    if (doc.matchStatus) {
      return { kind: 'result', outcome: 'matched', text: 'Logged in: your face matched' };
    }
    const reason = doc.cloudError ? `: ${doc.cloudError}` : '';
    return {
      kind: 'result', outcome: 'not-matched',
      text: `Face did not match${reason} (next step ${doc.nextStep})`,
    };
  }
  if (doc.feedback) return { kind: 'feedback', feedback: doc.feedback };
  if (doc.frame) return { kind: 'frame', frame: doc.frame };
  return { kind: 'wait' };
}

const FLOWS = {
  enroll: { path: '/frame/enrollment', read: readEnrollment, label: 'Enrolling' },
  login: { path: '/frame/match', read: readMatch, label: 'Logging in' },
};

let activeFlow = null;

function showResult(outcome, text) {
  const result = $('result');
  result.dataset.outcome = outcome;
  result.textContent = text;
  result.hidden = false;
}

function setRunning(name) {
  document.body.dataset.flow = name || 'idle';
  $('enroll').disabled = Boolean(name);
  $('login').disabled = Boolean(name);
  $('stop').disabled = !name;
}

class CaptureFlow {
  constructor(name) {
    this.flow = FLOWS[name];
    this.name = name;
    this.id = newCorrelationId();
    this.stopping = false;
    this.abort = new AbortController();
  }

  headers() {
    const headers = {
      'Q-Correlation-Id': this.id,
      StreamType: 'IMAGE',
      PreviewType: 'NORMAL',
    };
    if (this.name === 'login') headers.Caller = $('caller').value;
    return headers;
  }

  body() {
    const email = $('email').value.trim();
    return this.name === 'enroll' ? { userData: { email, reEnroll: false } }
                                  : { userData: { email } };
  }

  // Polls until a result, an error or Stop; then releases the camera.
  async run() {
    $('feedback').textContent = `${this.flow.label}…`;
    try {
      while (!this.stopping) {
        const { document } = await callApi('POST', this.flow.path, {
          body: this.body(), headers: this.headers(), signal: this.abort.signal,
        });
        if (this.stopping) break;
        const problem = errorText(document);
        if (problem) {
          showResult('error', problem);
          break;
        }
        const answer = this.flow.read(document);
        if (answer.kind === 'frame') drawFrame(answer.frame);
        if (answer.kind === 'feedback') $('feedback').textContent = answer.feedback.description;
        if (answer.kind === 'result') {
          showResult(answer.outcome, answer.text);
          break;
        }
      }
    } catch (failure) {
      if (failure.name !== 'AbortError') showResult('error', String(failure.message || failure));
    }
    await this.stopCapture();
  }

  // Asks the plug-in to stop; the in-flight poll, if any, is dropped at once.
  requestStop() {
    this.stopping = true;
    this.abort.abort();
  }

  async stopCapture() {
    const { status, document } = await callApi('POST', '/frame/stop', {
      body: {}, headers: { 'Q-Correlation-Id': this.id },
    });
    const problem = errorText(document);
    const outcome = $('stop-outcome');
    if (!problem) {
      outcome.textContent = 'Camera stopped';
    } else if (document.error.source === 0 && document.error.code === 1) {
      // A login result already ends the capture session on its own.
      outcome.textContent = `Camera stopped (${document.error.description})`;
    } else {
      outcome.textContent = `Stop failed: ${problem}`;
    }
    outcome.dataset.status = String(status);
    $('feedback').textContent = '';
  }
}

async function startFlow(name) {
  if (activeFlow) return;
  $('result').hidden = true;
  $('stop-outcome').textContent = '';
  setFramesShown(0);
  activeFlow = new CaptureFlow(name);
  setRunning(name);
  try {
    await activeFlow.run();
  } finally {
    activeFlow = null;
    setRunning(null);
  }
}

// Leaving the page must not leave the camera on for the display time-out.
function stopOnLeave() {
  if (!activeFlow) return;
  activeFlow.requestStop();
  fetch(`${API}/frame/stop`, {
    method: 'POST',
    keepalive: true,
    headers: { 'Content-Type': 'application/json', 'Q-Correlation-Id': activeFlow.id },
    body: '{}',
  }).catch(() => {});
}

window.addEventListener('DOMContentLoaded', () => {
  $('refresh-status').addEventListener('click', refreshStatus);
  $('camera-select').addEventListener('change', selectCamera);
  $('enroll').addEventListener('click', () => startFlow('enroll'));
  $('login').addEventListener('click', () => startFlow('login'));
  $('stop').addEventListener('click', () => activeFlow && activeFlow.requestStop());
  window.addEventListener('pagehide', stopOnLeave);
  refreshStatus();
  loadCameras();
});
