// Browser test of the demo page: Playwright drives Debian's Chromium (headless)
// against keystead-host on loopback with the stand-in engine. The engine runs
// browser-scenario.json, whose enrollment takes a few seconds, so that the
// preview visibly moves before the result whatever the machine's speed.
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdirSync, mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const repo = path.resolve(here, '..', '..');
const build = process.env.KEYSTEAD_BUILD_DIR || path.join(repo, 'build');
const artifacts = path.join(repo, 'test-artifacts');
const chromiumPath = process.env.KEYSTEAD_CHROMIUM || '/usr/bin/chromium';

let scratch;
let host;
let hostOutput = '';
let baseUrl;
let context;
let page;
const pageErrors = [];

function startHost() {
  const registry = path.join(scratch, 'registry.json');
  writeFileSync(registry, '{}');
  const child = spawn(path.join(build, 'host', 'keystead-host'), ['--port', '0'], {
    env: {
      ...process.env,
      KEYSTEAD_REGISTRY: registry,
      KEYSTEAD_LOCALAPPDATA: path.join(scratch, 'localappdata'),
      KEYSTEAD_PROGRAMDATA: path.join(scratch, 'programdata'),
      KEYSTEAD_SIM_SCENARIO: path.join(here, 'browser-scenario.json'),
    },
    stdio: ['ignore', 'pipe', 'pipe'],
  });
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => reject(new Error(`host did not start:\n${hostOutput}`)), 20000);
    const collect = (chunk) => {
      hostOutput += chunk;
      const found = /listening on (http:\/\/127\.0\.0\.1:\d+\/)/.exec(hostOutput);
      if (found) {
        clearTimeout(timer);
        resolve({ child, url: found[1] });
      }
    };
    child.stdout.on('data', collect);
    child.stderr.on('data', collect);
    child.on('exit', (code) => reject(new Error(`host exited (${code}):\n${hostOutput}`)));
  });
}

async function stopHost() {
  if (!host || host.exitCode !== null) return host?.exitCode;
  const exited = new Promise((resolve) => host.once('exit', resolve));
  host.kill('SIGTERM');
  return exited;
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

before(async () => {
  scratch = mkdtempSync(path.join(tmpdir(), 'keystead-browser-'));
  mkdirSync(artifacts, { recursive: true });
  const started = await startHost();
  host = started.child;
  baseUrl = started.url;
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
  page = context.pages()[0] || (await context.newPage());
  page.on('pageerror', (error) => pageErrors.push(String(error)));
  page.on('console', (message) => {
    // Chromium reports every 4xx/5xx answer on the console; those are the plug-in's to give.
    if (message.type() === 'error' && !message.text().startsWith('Failed to load resource')) {
      pageErrors.push(message.text());
    }
  });
  await page.goto(baseUrl);
});

after(async () => {
  await context?.close();
  const code = await stopHost();
  rmSync(scratch, { recursive: true, force: true });
  assert.equal(code, 0, `host exit code ${code}:\n${hostOutput}`);
  assert.match(hostOutput, /plug-in finalised/);
});

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
  // The finished flow releases the camera itself.
  const stop = await stopAnswer;
  assert.equal((await stop.text()).trim(), '{}');
  await page.locator('#stop-outcome').filter({ hasText: 'Camera stopped' }).waitFor();
  await page.screenshot({ path: path.join(artifacts, 'host-demo-enrollment.png'), fullPage: true });
});

test('login shows the match result', async () => {
  await page.locator('body[data-flow="idle"]').waitFor();
  await page.click('#login');
  const result = page.locator('#result[data-outcome]:not([hidden])');
  await result.waitFor({ timeout: 30000 });
  assert.equal(await result.getAttribute('data-outcome'), 'matched');
  assert.match(await result.textContent(), /Logged in/);
  // A match result ends the capture session in the plug-in; the page says so calmly.
  await page.locator('#stop-outcome').filter({ hasText: /stopped/ }).waitFor();
  await page.screenshot({ path: path.join(artifacts, 'host-demo-login.png'), fullPage: true });
});

test('stop ends the capture, and a second stop with the same id is refused', async () => {
  await page.locator('body[data-flow="idle"]').waitFor();
  await page.click('#enroll');
  // The page counts the frames of the running flow only.
  await page.waitForFunction(() => Number(document.getElementById('preview').dataset.frames) > 0,
    null, { timeout: 20000 });
  const stopAnswer = page.waitForResponse((r) => r.url().endsWith('/q/v1/frame/stop'));
  await page.click('#stop');
  const stop = await stopAnswer;
  assert.equal(stop.status(), 200);
  assert.equal((await stop.text()).trim(), '{}');
  await page.locator('body[data-flow="idle"]').waitFor();
  assert.equal(await page.locator('#result').isVisible(), false, 'a stopped flow shows no result');

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

test('the page raised no script errors', () => {
  assert.deepEqual(pageErrors, []);
});
