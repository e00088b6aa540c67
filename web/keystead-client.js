// The page client: drives the Keystead face-login plug-in's HTTP API from a web
// page. A plain ES module for modern browsers, without dependencies:
//
//   import { KeysteadClient, KeysteadError } from '/keystead-client.js';
//
// Plain calls (status, cameras, settings) resolve to the plug-in's document or
// throw a KeysteadError. Captures (enroll, match, tryMatch, addDevice) poll one
// capture endpoint with one correlation id, report what each answer holds
// through callbacks, and release the camera when they end.

/** The sources an error document names. The host's own errors say "host". */
export const ErrorSource = Object.freeze({ PLUGIN: 0, CAMERA: 1, ENGINE: 4, SUITE: 5 });

// Plug-in codes (source PLUGIN) that mean the capture session has already ended.
const FRAMES_ALREADY_STOPPED = 1;
const FRAMES_TIME_OUT = 2;

/**
 * A failed call: the plug-in's or the host's error document, an answer that is
 * not one, or no answer at all.
 */
export class KeysteadError extends Error {
  /**
   * @param {string} message the document's description, or what went wrong
   * @param {object} [details]
   * @param {number|null} [details.code] the document's code; null when it has none
   * @param {number|string|null} [details.source] an ErrorSource value, "host", or null
   * @param {number} [details.status] HTTP status; 0 when no answer came
   * @param {*} [details.document] the parsed answer as received, or null
   * @param {*} [details.cause] the underlying failure, if any
   */
  constructor(message, { code = null, source = null, status = 0, document = null, cause } = {}) {
    super(message, cause === undefined ? undefined : { cause });
    this.name = 'KeysteadError';
    this.code = code;
    this.source = source;
    this.status = status;
    this.document = document;
  }
}

/**
 * A fresh capture correlation id: "QCID", a random UUID, "QCID" (44 characters).
 * @returns {string}
 */
export function newCorrelationId() {
  if (typeof crypto.randomUUID === 'function') return `QCID${crypto.randomUUID()}QCID`;
  // randomUUID needs a secure context; getRandomValues does not.
  const bytes = crypto.getRandomValues(new Uint8Array(16));
  bytes[6] = (bytes[6] & 0x0f) | 0x40;
  bytes[8] = (bytes[8] & 0x3f) | 0x80;
  const hex = Array.from(bytes, (b) => b.toString(16).padStart(2, '0')).join('');
  const uuid = `${hex.slice(0, 8)}-${hex.slice(8, 12)}-${hex.slice(12, 16)}-` +
               `${hex.slice(16, 20)}-${hex.slice(20)}`;
  return `QCID${uuid}QCID`;
}

// The error an answer carries, or null. The plug-in also reports some errors
// with status 200, so the document decides before the status does.
function errorOf(status, document) {
  const error = document && typeof document === 'object' ? document.error : undefined;
  if (error && typeof error === 'object') {
    return new KeysteadError(String(error.description || 'Unknown error'), {
      code: typeof error.code === 'number' ? error.code : null,
      source: error.source ?? null,
      status,
      document,
    });
  }
  if (status >= 400) return new KeysteadError(`HTTP ${status}`, { status, document });
  return null;
}

const isAbort = (failure) => failure instanceof DOMException && failure.name === 'AbortError';

// Errors thrown by a page's onError or onStop have nowhere else to go.
function report(failure) {
  if (typeof reportError === 'function') reportError(failure);
  else setTimeout(() => { throw failure; });
}

// ---- what one poll answer means --------------------------------------------

function readEnrollmentAnswer(document) {
  const data = document && document.data;
  if (!data) return { kind: 'wait' };
  if (data.processed) return { kind: 'result' };
  if (data.feedback) return { kind: 'feedback', feedback: data.feedback };
  if (Array.isArray(data.frames) && data.frames[0]) return { kind: 'frame', frame: data.frames[0] };
  return { kind: 'wait' };
}

// The final match document carries a numeric nextStep; frames and feedback an
// empty nextStep text.
function readMatchAnswer(document) {
  if (!document) return { kind: 'wait' };
  if (typeof document.nextStep === 'number') return { kind: 'result' };
  if (document.feedback) return { kind: 'feedback', feedback: document.feedback };
  if (document.frame) return { kind: 'frame', frame: document.frame };
  return { kind: 'wait' };
}

const ENROLLMENT = { path: '/frame/enrollment', read: readEnrollmentAnswer };
const MATCH = { path: '/frame/match', read: readMatchAnswer };
const TRY_MATCH = { path: '/frame/trymatch', read: readMatchAnswer };
const ADD_DEVICE = { path: '/frame/adddevice', read: readMatchAnswer };

/**
 * @typedef {object} CaptureOptions
 * @property {string} [email] the user's e-mail ("userData"/"email" of the body)
 * @property {boolean} [reEnroll] enrollment: enroll again over an existing face
 * @property {string} [oTransId] the cloud's OAuth transaction id
 * @property {string} [caller] Caller header: "HYBRID", "LOCAL", "REMOTE", "REMOTE_PSI_25"
 * @property {string} [liveness] Liveness header: "NONE", "BLINK", "BLINK_STRICT", "PASSIVE"
 * @property {string} [streamType] StreamType header: "IMAGE" (default) or "COORDS"
 * @property {string} [previewType] PreviewType header: "NORMAL", "OBFUSCATED", "DOTS", ...
 * @property {string} [idToken] try-match: the id token of an earlier login (required there)
 * @property {AbortSignal} [signal] aborting it stops the capture, like stop()
 * @property {(frame: object, document: object) => void} [onFrame] a preview frame
 *   (image in base64, width, height, channels, ...)
 * @property {(feedback: {code: number, description: string}, document: object) => void}
 *   [onFeedback] the engine asks the user for something ("Hold still"); code 5633
 *   says no usable camera is selected: the plug-in retries the camera on the next
 *   poll, so the capture goes on until a camera works or it is stopped
 * @property {(document: object) => void} [onResult] the final answer: for an enrollment
 *   {data: {processed: true, frames: [...]}}, for a match the match document
 *   (matchStatus, nextStep, idToken, ...)
 * @property {(error: KeysteadError) => void} [onError] the capture failed; when given,
 *   a rejection of `done` that nobody awaits is not reported as unhandled
 * @property {(error: KeysteadError|null) => void} [onStop] the plug-in answered the
 *   stop that releases the camera: null, or the error of a refused stop
 */

/**
 * One running capture. It polls until a result, an error or a stop, then tells
 * the plug-in to stop (which releases the camera). Create it through
 * KeysteadClient; callbacks run on the page's thread, in the order the answers came.
 */
export class Capture {
  /** The correlation id of every request of this capture. */
  correlationId = newCorrelationId();

  /**
   * Settles once the capture has ended and the plug-in has answered the stop:
   * resolves to the final document (as given to onResult), or to null when the
   * capture was stopped first; rejects with the KeysteadError (or the error a
   * callback threw) that ended it.
   * @type {Promise<object|null>}
   */
  done;

  #client;
  #endpoint;
  #options;
  #polls = new AbortController();
  #stopping = false;
  #answered = false;
  #released = null;

  /** @internal */
  constructor(client, endpoint, options) {
    this.#client = client;
    this.#endpoint = endpoint;
    this.#options = options;
    const { signal } = options;
    const onAbort = () => this.stop();
    if (signal?.aborted) {
      this.#stopping = true;
      this.done = Promise.resolve(null);
      return;
    }
    signal?.addEventListener('abort', onAbort, { once: true });
    this.done = this.#run().finally(() => signal?.removeEventListener('abort', onAbort));
    if (options.onError) this.done.catch(() => {});
  }

  /**
   * Stops the capture: the poll in flight is aborted, no further poll is sent
   * and the plug-in is told to stop. Before the first answer the plug-in may not
   * have opened the session yet, and a stop that overtook the first request
   * would find nothing to end while the camera starts after it; so the first
   * request is left to finish (its answer is dropped) and the stop follows it.
   * @returns {Promise<object|null>} `done`
   */
  stop() {
    if (!this.#stopping) {
      this.#stopping = true;
      if (this.#answered) {
        this.#polls.abort();
        this.#release();
      }
    }
    return this.done;
  }

  async #run() {
    let result = null;
    let failure = null;
    try {
      result = await this.#poll();
      if (result) this.#options.onResult?.(result);
    } catch (error) {
      // Once stopped, what the aborted poll ended with no longer matters.
      if (!this.#stopping) failure = error;
    }
    if (failure) this.#notify('onError', failure);
    await this.#release();
    if (failure) throw failure;
    return result;
  }

  // Polls with the same id until the final document; null once stopped.
  async #poll() {
    for (;;) {
      let document;
      try {
        document = await this.#client.request('POST', this.#endpoint.path, {
          body: this.#body(),
          headers: this.#headers(),
          signal: this.#polls.signal,
        });
      } finally {
        this.#answered = true;
      }
      if (this.#stopping) return null;
      const answer = this.#endpoint.read(document);
      if (answer.kind === 'result') return document;
      if (answer.kind === 'frame') this.#options.onFrame?.(answer.frame, document);
      if (answer.kind === 'feedback') this.#options.onFeedback?.(answer.feedback, document);
      if (this.#stopping) return null;
    }
  }

  #headers() {
    const { caller, liveness, streamType, previewType, idToken } = this.#options;
    const headers = { 'Q-Correlation-Id': this.correlationId };
    if (caller) headers.Caller = caller;
    if (liveness) headers.Liveness = liveness;
    if (streamType) headers.StreamType = streamType;
    if (previewType) headers.PreviewType = previewType;
    if (idToken) headers['x-idToken'] = idToken;
    return headers;
  }

  #body() {
    const { email, reEnroll, oTransId } = this.#options;
    const userData = {};
    if (email !== undefined) userData.email = email;
    if (reEnroll !== undefined) userData.reEnroll = Boolean(reEnroll);
    if (oTransId !== undefined) userData.oTransId = oTransId;
    return { userData };
  }

  // Sends the stop once; a session that already ended (a login result ends
  // it, so does the plug-in's display time-out) counts as released.
  #release() {
    this.#released ??= this.#client
      .request('POST', '/frame/stop', {
        body: {},
        headers: { 'Q-Correlation-Id': this.correlationId },
        keepalive: true,
      })
      .then(
        () => null,
        (error) => {
          const ended = error instanceof KeysteadError && error.source === ErrorSource.PLUGIN &&
                        [FRAMES_ALREADY_STOPPED, FRAMES_TIME_OUT].includes(error.code);
          return ended ? null : error;
        })
      .then((error) => this.#notify('onStop', error));
    return this.#released;
  }

  #notify(name, value) {
    try {
      this.#options[name]?.(value);
    } catch (failure) {
      report(failure);
    }
  }
}

/**
 * The plug-in's HTTP API as served by the host. Stateless: one client may run
 * several plain calls at once; run one capture at a time, as there is one camera.
 */
export class KeysteadClient {
  #baseUrl;

  /**
   * @param {object} [options]
   * @param {string} [options.baseUrl] where the API lives; the page's own host by default
   */
  constructor({ baseUrl = '/q/v1' } = {}) {
    this.#baseUrl = baseUrl.replace(/\/+$/, '');
  }

  /**
   * One request to the API; the helper behind every other call.
   * @param {string} method "GET" or "POST"
   * @param {string} path below the API root, e.g. "/status/qav"
   * @param {object} [options]
   * @param {*} [options.body] sent as JSON
   * @param {Record<string, string>} [options.headers]
   * @param {AbortSignal} [options.signal] aborting rejects with the signal's AbortError
   * @param {boolean} [options.keepalive] let the request outlive the page
   * @returns {Promise<*>} the parsed answer; null for an empty one
   * @throws {KeysteadError} for an error document, an error status, an unreadable
   *   answer or no answer
   */
  async request(method, path, { body, headers = {}, signal, keepalive = false } = {}) {
    let response;
    let text;
    try {
      response = await fetch(this.#baseUrl + path, {
        method,
        // The plug-in serves only requests that declare JSON (or carry an Origin).
        headers: { 'Content-Type': 'application/json', Accept: 'application/json', ...headers },
        body: body === undefined ? undefined : JSON.stringify(body),
        cache: 'no-store',
        signal,
        keepalive,
      });
      text = await response.text();
    } catch (failure) {
      if (isAbort(failure)) throw failure;
      throw new KeysteadError(`No answer from the host (${failure.message})`, {
        status: response ? response.status : 0,
        cause: failure,
      });
    }
    let document = null;
    if (text.trim() !== '') {
      try {
        document = JSON.parse(text);
      } catch (failure) {
        throw new KeysteadError(`Unreadable answer (HTTP ${response.status})`, {
          status: response.status,
          cause: failure,
        });
      }
    }
    const error = errorOf(response.status, document);
    if (error) throw error;
    return document;
  }

  /**
   * The engine's status.
   * @returns {Promise<{status: number, capabilities?: object, affID?: string}>}
   */
  getStatus({ signal } = {}) {
    return this.request('GET', '/status/qav', { signal });
  }

  /**
   * The cameras the engine can use, in the engine's order.
   * @returns {Promise<Array<{id: number, name: string, selected: boolean}>>}
   */
  async getCameras({ signal } = {}) {
    const document = await this.request('GET', '/devices/video', { signal });
    return Array.isArray(document?.devices) ? document.devices : [];
  }

  /**
   * Makes the engine use this camera; the name decides.
   * @param {{id: number, name: string}} camera
   * @throws {KeysteadError} source CAMERA when the engine refuses the camera
   */
  async selectCamera({ id, name }, { signal } = {}) {
    await this.request('POST', '/devices/video', { body: { id, name, selected: true }, signal });
  }

  /**
   * The state of the selected camera, as the engine reports it (0 when unknown).
   * @returns {Promise<number>}
   */
  async getCameraStatus({ signal } = {}) {
    const document = await this.request('GET', '/camera/status', { signal });
    return document?.deviceStatus ?? 0;
  }

  /**
   * One engine setting, or null when the engine does not know it.
   * @param {string} id e.g. "BCA_PREVIEW_TYPE"
   * @returns {Promise<{id: string, value: string, available_values: string,
   *   display: string, supported: string}|null>}
   */
  async getSetting(id, { signal } = {}) {
    const document = await this.request('GET', `/settings?id=${encodeURIComponent(id)}`, {
      signal,
    });
    return Array.isArray(document?.Setting) ? document.Setting[0] ?? null : null;
  }

  /**
   * Enrolls the user's face. The result holds the processed frames.
   * @param {CaptureOptions} [options] caller "HYBRID" enrolls on this device
   * @returns {Capture}
   */
  enroll(options = {}) {
    return new Capture(this, ENROLLMENT, options);
  }

  /**
   * Matches the user's face for a login: caller "REMOTE_PSI_25" in the cloud,
   * any other caller (or none) on this device.
   * @param {CaptureOptions} [options]
   * @returns {Capture}
   */
  match(options = {}) {
    return new Capture(this, MATCH, options);
  }

  /**
   * A local match that confirms an earlier login's id token.
   * @param {CaptureOptions & {idToken: string}} options
   * @returns {Capture}
   */
  tryMatch(options) {
    if (!options?.idToken) throw new TypeError('tryMatch needs the idToken of an earlier login');
    return new Capture(this, TRY_MATCH, options);
  }

  /**
   * A local match that proves the user while this device is added as a trusted one.
   * @param {CaptureOptions} [options] oTransId names the cloud's transaction
   * @returns {Capture}
   */
  addDevice(options = {}) {
    return new Capture(this, ADD_DEVICE, options);
  }
}
