// Browser test of the demo page and the page client: Playwright drives
// Debian's Chromium (headless) against two keystead-host processes on loopback
// with the stand-in engine. The demo host runs browser-scenario.json, whose
// captures take a few seconds so that the preview visibly moves before the
// result whatever the machine's speed. The quiet host runs
// browser-quiet-scenario.json: a camera without frames and an enrollment
// without events, so that every poll waits its full time there and a stop
// lands in the middle of one; its cloud match fails.
//
// With KS_ANSWER_LOG set, every answer to a "/q/v1/" request is appended to
// that file as one JSON line.
import { after, before, beforeEach, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import {
  appendFileSync, mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync,
} from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '..', '..');
const build = process.env.KEYSTEAD_BUILD_DIR || path.join(repo, 'build');
const artifacts = path.join(repo, 'test-artifacts');
const chromiumPath = process.env.KEYSTEAD_CHROMIUM || '/usr/bin/chromium';
const answerLog = process.env.KS_ANSWER_LOG || '';
const axeSource = readFileSync(path.join(here, 'node_modules', 'axe-core', 'axe.min.js'), 'utf8');

const API_PREFIX = '/q/v1/';

let scratch;
const hosts = [];
let demo;
let quiet;
let context;
let page;
let quietPage;
let traffic;
let currentTest = 'opening the pages';
const pageErrors = [];
const recordings = new Set();

// Starts keystead-host on a free port with the stand-in engine playing `scenario`.
function startHost(name, scenario) {
  const home = path.join(scratch, name);
  mkdirSync(home);
  const registry = path.join(home, 'registry.json');
  writeFileSync(registry, '{}');
  const child = spawn(path.join(build, 'host', 'keystead-host'), ['--port', '0'], {
    env: {
      ...process.env,
      KEYSTEAD_REGISTRY: registry,
      KEYSTEAD_LOCALAPPDATA: path.join(home, 'localappdata'),
      KEYSTEAD_PROGRAMDATA: path.join(home, 'programdata'),
      KEYSTEAD_SIM_SCENARIO: path.join(here, scenario),
    },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  const host = { name, child, output: '', url: '' };
  hosts.push(host);
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`${name} host did not start:\n${host.output}`)),
      20000);
    const collect = (chunk) => {
      host.output += chunk;
      const found = /listening on (http:\/\/127\.0\.0\.1:\d+\/)/.exec(host.output);
      if (found && !host.url) {
        clearTimeout(timer);
        host.url = found[1];
        resolve(host);
      }
    };
    child.stdout.on('data', collect);
    child.stderr.on('data', collect);
    child.on('exit', (code) => reject(new Error(`${name} host exited (${code}):\n${host.output}`)));
  });
}

async function stopHost({ child }) {
  if (child.exitCode !== null) return child.exitCode;
  const exited = new Promise((resolve) => child.once('exit', resolve));
  child.kill('SIGTERM');
  return exited;
}

const isApi = (url) => new URL(url).pathname.startsWith(API_PREFIX);

// Every request to the API seen in the browser, its answer or its failure, in
// the order Playwright reports them; tests wait on it for states, not for time.
class Traffic {
  events = [];
  #waiters = [];

  constructor(browserContext) {
    browserContext.on('request', (request) => this.#add('request', request));
    browserContext.on('requestfailed', (request) => this.#add('failed', request));
    browserContext.on('response',
      (response) => this.#add('response', response.request(), response));
  }

  #add(type, request, response) {
    if (!isApi(request.url())) return;
    const event = {
      seq: this.events.length,
      type,
      request,
      path: new URL(request.url()).pathname.slice(API_PREFIX.length - 1),
      id: request.headers()['q-correlation-id'],
      status: response ? response.status() : undefined,
      response,
      error: type === 'failed' ? request.failure()?.errorText : undefined,
    };
    this.events.push(event);
    this.#waiters = this.#waiters.filter(({ predicate, resolve }) => {
      if (!predicate(event)) return true;
      resolve(event);
      return false;
    });
  }

  // The first event, seen or still to come, that satisfies `predicate`; fails
  // rather than hangs when none comes.
  until(predicate, what = String(predicate)) {
    const seen = this.events.find(predicate);
    if (seen) return Promise.resolve(seen);
    return new Promise((resolve, reject) => {
      const waiter = { predicate, resolve };
      const timer = setTimeout(() => {
        this.#waiters = this.#waiters.filter((other) => other !== waiter);
        reject(new Error(`no such request event within 30 s: ${what}`));
      }, 30000);
      waiter.resolve = (event) => {
        clearTimeout(timer);
        resolve(event);
      };
      this.#waiters.push(waiter);
    });
  }

  // The requests sent with correlation id `id`, in order.
  requestsOf(id) {
    return this.events.filter((event) => event.id === id && event.type === 'request');
  }
}

// Appends the answer to KS_ANSWER_LOG: one line, one append-mode write.
function recordAnswer(response) {
  const request = response.request();
  if (!isApi(request.url())) return;
  const url = new URL(request.url());
  const source = `browser.test.mjs: ${currentTest}`;
  const recording = response.text().then(
    (body) => {
      const line = JSON.stringify({
        method: request.method(),
        path: url.pathname + url.search,
        status: response.status(),
        body,
        source,
      });
      appendFileSync(answerLog, `${line}\n`);
    },
    () => {}, // a poll aborted while its answer came in has no body to record
  );
  recordings.add(recording);
  recording.finally(() => recordings.delete(recording));
}

function watchErrors(target) {
  target.on('pageerror', (error) => pageErrors.push(String(error)));
  target.on('console', (message) => {
    // Chromium reports every 4xx/5xx answer on the console; those are the plug-in's to give.
    if (message.type() === 'error' && !message.text().startsWith('Failed to load resource')) {
      pageErrors.push(message.text());
    }
  });
}

// A digest of what the canvas shows now, with the page's own frame count.
function canvasDigest() {
  return page.evaluate(() => {
    const canvas = document.getElementById('preview');
    const pixels = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let hash = 2166136261;
    for (let i = 0; i < pixels.length; i += 61) {
      hash ^= pixels[i];
      hash = Math.imul(hash, 16777619);
    }
    return { frames: Number(canvas.dataset.frames), hash: hash >>> 0 };
  });
}

// The demo page has no capture running.
const pageIsIdle = () => page.locator('body[data-flow="idle"]').waitFor();

// The running capture has drawn a frame (the page counts the frames of the running capture only).
const previewShowsFrames = () =>
  page.waitForFunction(() => Number(document.getElementById('preview').dataset.frames) > 0, null,
    { timeout: 20000 });

// Runs axe-core on the page as it is now; prints every violation, returns the
// serious and critical ones. The page's CSP forbids inline scripts, so axe is
// evaluated through the debugging protocol rather than added as a tag.
async function accessibilityProblems(state) {
  if (!(await page.evaluate(() => typeof window.axe === 'object'))) await page.evaluate(axeSource);
  const violations = await page.evaluate(async () => {
    const results = await window.axe.run(document, { resultTypes: ['violations'] });
    return results.violations.map(({ id, impact, help, nodes }) => ({
      id, impact, help, targets: nodes.map((node) => node.target.join(' ')),
    }));
  });
  for (const violation of violations) {
    console.log(`axe (${state}): ${violation.impact} ${violation.id}: ${violation.help} ` +
                `at ${violation.targets.join(', ')}`);
  }
  return violations.filter((violation) => ['serious', 'critical'].includes(violation.impact));
}

before(async () => {
  scratch = mkdtempSync(path.join(tmpdir(), 'keystead-browser-'));
  mkdirSync(artifacts, { recursive: true });
  [demo, quiet] = await Promise.all([
    startHost('demo', 'browser-scenario.json'),
    startHost('quiet', 'browser-quiet-scenario.json'),
  ]);
  context = await chromium.launchPersistentContext(path.join(scratch, 'chromium-profile'), {
    executablePath: chromiumPath,
    headless: true,
    chromiumSandbox: false,
    args: [
      '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
    ],
    viewport: { width: 1280, height: 900 },
  });
  traffic = new Traffic(context);
  if (answerLog) context.on('response', recordAnswer);
  page = context.pages()[0] || (await context.newPage());
  quietPage = await context.newPage();
  watchErrors(page);
  watchErrors(quietPage);
  await Promise.all([page.goto(demo.url), quietPage.goto(quiet.url)]);
});

beforeEach((t) => {
  currentTest = t.name;
});

after(async () => {
  await Promise.allSettled([...recordings]);
  await context?.close();
  const codes = await Promise.all(hosts.map(stopHost));
  rmSync(scratch, { recursive: true, force: true });
  hosts.forEach((host, at) => {
    assert.equal(codes[at], 0, `${host.name} host exit code ${codes[at]}:\n${host.output}`);
    assert.match(host.output, /plug-in finalised/);
  });
});

// ---- the demo page ---------------------------------------------------------

test('the page shows the engine status and the cameras', async () => {
  await page.locator('#status-value').filter({ hasText: /^\d+$/ }).waitFor();
  assert.equal(await page.textContent('#status-face'), 'yes');
  const cameras = await page.locator('#camera-select option').allTextContents();
  assert.deepEqual(cameras, ['Keystead Virtual Camera', 'Keystead Virtual IR Camera']);
});

test('enrollment shows a moving preview, then the enrollment result', async () => {
  const stopAnswer = page.waitForResponse((r) => r.url().endsWith('/q/v1/frame/stop'));
  await page.click('#enroll');
  const seen = new Set();
  const result = page.locator('#result');
  const deadline = Date.now() + 30000;
  while (!(await result.isVisible())) {
    assert.ok(Date.now() < deadline, 'no enrollment result within 30 s');
    const digest = await canvasDigest();
    if (digest.frames > 0) seen.add(digest.hash);
    await page.waitForTimeout(25);
  }
  assert.ok(seen.size >= 3, `only ${seen.size} different preview frames before the result`);
  assert.equal(await result.getAttribute('data-outcome'), 'enrolled');
  assert.match(await result.textContent(), /Enrollment complete: 3 processed frames/);
  // The finished capture releases the camera itself.
  const stop = await stopAnswer;
  assert.equal((await stop.text()).trim(), '{}');
  await page.locator('#stop-outcome').filter({ hasText: 'Camera stopped' }).waitFor();
  await page.screenshot({ path: path.join(artifacts, 'host-demo-enrollment.png'), fullPage: true });
});

test('login shows the match result', async () => {
  await pageIsIdle();
  await page.click('#login');
  const result = page.locator('#result[data-outcome]');
  await result.waitFor({ timeout: 30000 });
  assert.equal(await result.getAttribute('data-outcome'), 'matched');
  assert.match(await result.textContent(), /Logged in/);
  // A match result ends the capture session in the plug-in; the page says so calmly.
  await page.locator('#stop-outcome').filter({ hasText: 'Camera stopped' }).waitFor();
  assert.equal(await page.textContent('#capture-error'), '');
  await page.screenshot({ path: path.join(artifacts, 'host-demo-login.png'), fullPage: true });
});

test('stop ends the capture, and a second stop with the same id is refused', async () => {
  await pageIsIdle();
  await page.click('#enroll');
  await previewShowsFrames();
  const stopAnswer = page.waitForResponse((r) => r.url().endsWith('/q/v1/frame/stop'));
  await page.click('#stop');
  const stop = await stopAnswer;
  assert.equal(stop.status(), 200);
  assert.equal((await stop.text()).trim(), '{}');
  await pageIsIdle();
  assert.equal(await page.locator('#result').isVisible(), false,
    'a stopped capture shows no result');

  const correlationId = stop.request().headers()['q-correlation-id'];
  assert.equal(correlationId.length, 44);
  assert.match(correlationId, /^QCID[0-9a-f-]{36}QCID$/);
  const second = await page.evaluate(async (id) => {
    const response = await fetch('/q/v1/frame/stop', {
      method: 'POST',
      headers: { 'Content-Type': 'application/json', 'Q-Correlation-Id': id },
      body: '{}',
    });
    return { status: response.status, body: await response.json() };
  }, correlationId);
  assert.equal(second.status, 500);
  assert.equal(second.body.error.description, 'Frames Already Stopped');
});

test('the page works by keyboard alone, through a capture and a login', async () => {
  // Arrive afresh, as a keyboard user would: focus starts at the top.
  await page.goto(demo.url);
  await page.locator('#camera-select:enabled').waitFor();
  const focused = () => page.evaluate(() => {
    const element = document.activeElement;
    const style = getComputedStyle(element);
    return {
      id: element.id,
      ring: style.outlineStyle !== 'none' && parseFloat(style.outlineWidth) >= 2,
    };
  });
  const order = [];
  while (order.at(-1) !== 'login') {
    assert.ok(order.length < 10, `Tab never reached "Log in": ${order}`);
    await page.keyboard.press('Tab');
    const now = await focused();
    assert.ok(now.ring, `no visible focus on #${now.id}`);
    order.push(now.id);
  }
  assert.deepEqual(order,
    ['refresh-status', 'camera-select', 'email', 'caller', 'enroll', 'login']);

  // Shift+Tab back to Enroll, Space starts it; focus moves to Stop, Escape ends it.
  await page.keyboard.press('Shift+Tab');
  assert.equal((await focused()).id, 'enroll');
  await page.keyboard.press('Space');
  await page.locator('body[data-flow="enroll"]').waitFor();
  assert.equal((await focused()).id, 'stop');
  await previewShowsFrames();
  await page.keyboard.press('Escape');
  await page.locator('#stop-outcome').filter({ hasText: 'Camera stopped' }).waitFor();
  await pageIsIdle();
  assert.equal((await focused()).id, 'enroll', 'focus returns to the button that started it');

  // Tab skips the disabled Stop; Enter logs in and the result is announced.
  await page.keyboard.press('Tab');
  assert.equal((await focused()).id, 'login');
  await page.keyboard.press('Enter');
  await page.locator('#result[data-outcome="matched"]').waitFor({ timeout: 30000 });
  await pageIsIdle();
  assert.equal((await focused()).id, 'login');
  assert.equal(await page.getAttribute('#result', 'role'), 'status');
});

test('axe-core finds no serious violation: idle, capturing, with a result', async () => {
  await pageIsIdle();
  assert.deepEqual(await accessibilityProblems('idle'), []);

  await page.click('#enroll');
  await page.locator('#feedback').filter({ hasText: 'Face not centered' })
    .waitFor({ timeout: 20000 });
  assert.deepEqual(await accessibilityProblems('capturing'), []);

  await page.locator('#result[data-outcome="enrolled"]').waitFor({ timeout: 30000 });
  await pageIsIdle();
  assert.deepEqual(await accessibilityProblems('result'), []);
});

// ---- the page client -------------------------------------------------------

// Runs one capture through the client module in the page; resolves to what
// the callbacks saw, in order (runs of frames folded into one "frame"), and
// how `done` settled.
function runCapture(target, kind, options) {
  return target.evaluate(async ({ kind, options }) => {
    const { KeysteadClient, KeysteadError } = await import('/keystead-client.js');
    const events = [];
    const note = (event) => {
      if (event !== 'frame' || events.at(-1) !== 'frame') events.push(event);
    };
    const capture = new KeysteadClient()[kind]({
      ...options,
      onFrame: (frame) => note(frame.width > 0 ? 'frame' : 'frame without size'),
      onFeedback: (feedback) => note(`feedback ${feedback.code} ${feedback.description}`),
      onResult: () => note('result'),
      onError: (error) => note(`error ${error.source}/${error.code}`),
      onStop: (error) => note(error ? `stop failed ${error.code}` : 'stop'),
    });
    try {
      const result = await capture.done;
      return { id: capture.correlationId, events, result };
    } catch (error) {
      return {
        id: capture.correlationId,
        events,
        error: {
          isKeysteadError: error instanceof KeysteadError,
          message: error.message,
          code: error.code,
          source: error.source,
          status: error.status,
          document: error.document,
        },
      };
    }
  }, { kind, options });
}

test('the client runs each capture to its result, callbacks in order, then releases the camera',
  async (t) => {
    const matched = (run) => assert.equal(run.result.matchStatus, true);
    const cases = [
      {
        name: 'enrollment', kind: 'enroll', options: { email: 'alex.morgan@example.com' },
        feedback: ['feedback 3 Face not centered', 'feedback 9 Hold still'],
        check: (run) => {
          assert.equal(run.result.data.processed, true);
          assert.equal(run.result.data.frames.length, 3);
        },
      },
      {
        name: 'match on this device', kind: 'match',
        options: { caller: 'HYBRID', email: 'alex.morgan@example.com' },
        feedback: ['feedback 9 Hold still'], check: matched,
      },
      {
        name: 'match in the cloud', kind: 'match', options: { caller: 'REMOTE_PSI_25' },
        feedback: ['feedback 9 Hold still'], check: matched,
      },
      {
        name: 'try-match with an id token', kind: 'tryMatch',
        options: { caller: 'HYBRID', idToken: 'eyJhbGciOiJub25lIn0.e30.' },
        feedback: ['feedback 9 Hold still'], check: matched,
      },
      {
        name: 'add-device', kind: 'addDevice',
        options: { email: 'alex.morgan@example.com', oTransId: 'browser-test-transaction' },
        feedback: ['feedback 9 Hold still'], check: matched,
      },
    ];
    await pageIsIdle();
    for (const { name, kind, options, feedback, check } of cases) {
      await t.test(name, async () => {
        const run = await runCapture(page, kind, options);
        assert.equal(run.error, undefined, JSON.stringify(run.error));
        assert.equal(run.events[0], 'frame', `the preview comes first: ${run.events}`);
        assert.deepEqual(run.events.filter((event) => event !== 'frame'),
          [...feedback, 'result', 'stop']);
        check(run);
        // One id for the whole capture; the stop is its last request.
        const requests = traffic.requestsOf(run.id);
        assert.ok(requests.length >= 2);
        assert.equal(requests.at(-1).path, '/frame/stop');
        assert.ok(requests.slice(0, -1).every((event) => event.path !== '/frame/stop'));
      });
    }
  });

// The quiet engine answers each enrollment poll only after its full wait, so
// the stop lands while a poll is in flight.
const stops = [
  { name: 'stop()', how: 'stop' },
  { name: 'an AbortSignal', how: 'abort' },
];
for (const { name, how } of stops) {
  test(`the client stops in the middle of a poll through ${name}`, async () => {
    const id = await quietPage.evaluate(async () => {
      const { KeysteadClient } = await import('/keystead-client.js');
      window.controller = new AbortController();
      window.events = [];
      window.capture = new KeysteadClient().enroll({
        signal: window.controller.signal,
        onResult: () => window.events.push('result'),
        onError: (error) => window.events.push(`error ${error.code}`),
        onStop: (error) => window.events.push(error ? `stop failed ${error.code}` : 'stop'),
      });
      return window.capture.correlationId;
    });
    const firstAnswer = await traffic.until((e) => e.id === id && e.type === 'response');
    assert.equal(firstAnswer.path, '/frame/enrollment');
    const inFlight = await traffic.until((e) => e.id === id && e.type === 'request' &&
                                                e.seq > firstAnswer.seq);
    const settled = await quietPage.evaluate(async (how) => {
      if (how === 'stop') window.capture.stop();
      else window.controller.abort();
      return { result: await window.capture.done, events: window.events };
    }, how);
    assert.deepEqual(settled, { result: null, events: ['stop'] });

    const aborted =
      await traffic.until((e) => e.type === 'failed' && e.request === inFlight.request);
    assert.match(aborted.error, /ABORTED/);
    const stopRequest = traffic.requestsOf(id).find((e) => e.path === '/frame/stop');
    assert.ok(stopRequest.seq > inFlight.seq);
    const stopAnswer = await traffic.until((e) => e.type === 'response' &&
                                                  e.request === stopRequest.request);
    assert.equal(stopAnswer.status, 200);
    assert.equal((await stopAnswer.response.text()).trim(), '{}');

    // The plug-in's capture has ended: a second stop with this id finds nothing.
    const second = await quietPage.evaluate(async (correlationId) => {
      const { KeysteadClient } = await import('/keystead-client.js');
      try {
        await new KeysteadClient().request('POST', '/frame/stop', {
          body: {}, headers: { 'Q-Correlation-Id': correlationId },
        });
        return 'accepted';
      } catch (error) {
        return `${error.status} ${error.source}/${error.code} ${error.message}`;
      }
    }, id);
    assert.equal(second, '500 0/1 Frames Already Stopped');

    // A next capture starts normally and runs to its result. (The aborted poll
    // still waits out its time in the plug-in and may take the next capture's
    // feedback, so only the result is certain.)
    const next = await runCapture(quietPage, 'match', { caller: 'HYBRID' });
    assert.deepEqual(next.events.filter((e) => !e.startsWith('feedback')), ['result', 'stop']);
    // ... and the stopped capture never polled again.
    const polls = traffic.requestsOf(id).filter((e) => e.path !== '/frame/stop');
    assert.ok(polls.every((e) => e.seq < stopRequest.seq), 'a poll was sent after the stop');
  });
}

test('the client stops a capture before its first answer once the plug-in has opened it',
  async () => {
    const id = await quietPage.evaluate(async () => {
      const { KeysteadClient } = await import('/keystead-client.js');
      window.capture = new KeysteadClient().enroll();
      window.capture.stop();
      return window.capture.correlationId;
    });
    assert.equal(await quietPage.evaluate(() => window.capture.done), null);
    const requests = traffic.requestsOf(id).map((e) => e.path);
    assert.deepEqual(requests, ['/frame/enrollment', '/frame/stop']);
    const stopAnswer = await traffic.until((e) => e.id === id && e.type === 'response' &&
                                                  e.path === '/frame/stop');
    assert.equal(stopAnswer.status, 200, 'the stop found the session the first poll opened');
    const next = await runCapture(quietPage, 'match', { caller: 'HYBRID' });
    assert.deepEqual(next.events, ['feedback 9 Hold still', 'result', 'stop']);
  });

test('error documents become KeysteadErrors with their code and source', async (t) => {
  await t.test('a capture the engine refuses rejects, after onError, and is released', async () => {
    const run = await runCapture(quietPage, 'match', { caller: 'REMOTE_PSI_25' });
    assert.deepEqual(run.events, ['error 4/1450', 'stop']);
    assert.equal(run.error.isKeysteadError, true);
    assert.equal(run.error.status, 500);
    assert.equal(run.error.source, 4);
    assert.equal(run.error.code, 1450);
    assert.equal(run.error.message, 'RemoteMatch Communication Error with QAVService');
    assert.deepEqual(run.error.document,
      { error: { code: 1450, description: run.error.message, source: 4 } });
    const polls = traffic.requestsOf(run.id).filter((e) => e.path !== '/frame/stop');
    assert.equal(polls.length, 1, 'no poll after the error');
  });

  await t.test('plain calls answer with the document or throw them', async () => {
    const outcomes = await quietPage.evaluate(async () => {
      const { KeysteadClient, KeysteadError } = await import('/keystead-client.js');
      const client = new KeysteadClient();
      const outcome = async (call) => {
        try {
          await call();
          return 'no error';
        } catch (error) {
          return {
            name: error.name, isKeysteadError: error instanceof KeysteadError,
            status: error.status, source: error.source, code: error.code, message: error.message,
          };
        }
      };
      return {
        setting: await client.getSetting('BCA_PREVIEW_TYPE'),
        unknownSetting: await client.getSetting('NO_SUCH_SETTING'),
        camera: await outcome(() => client.selectCamera({ id: 7, name: 'No Such Camera' })),
        // The host answers for itself outside the API, with source "host" and no code.
        host: await outcome(() => new KeysteadClient({ baseUrl: '/no-api' }).getStatus()),
        tryMatch: await outcome(() => client.tryMatch({})),
      };
    });
    assert.equal(outcomes.setting.id, 'BCA_PREVIEW_TYPE');
    assert.equal(outcomes.setting.value, '0');
    assert.equal(outcomes.unknownSetting, null);
    assert.deepEqual(outcomes.camera, {
      name: 'KeysteadError', isKeysteadError: true, status: 500, source: 1, code: 1168,
      message: 'An error occured while selecting the camera. Most likely the device does not exist',
    });
    assert.deepEqual(outcomes.host, {
      name: 'KeysteadError', isKeysteadError: true, status: 404, source: 'host', code: null,
      message: 'Not found',
    });
    assert.equal(outcomes.tryMatch.name, 'TypeError');
  });
});

test('the pages raised no script errors', () => {
  assert.deepEqual(pageErrors, []);
});
