// The answer check against the API description: what it lets pass and what it
// reports, on the project's own description.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import SwaggerParser from '@apidevtools/swagger-parser';
import { AnswerChecker } from './api-check.mjs';

const here = path.dirname(fileURLToPath(import.meta.url));
const api = await SwaggerParser.validate(path.resolve(here, '..', '..', 'web', 'openapi.json'));
const checker = new AnswerChecker(api);

const status = '{"affID":"","capabilities":{"deviceID":1,"faceFactor":1,"fingerprintFactor":0},"status":3}\n';
const hostRefusal = '{"error":{"description":"Request headers are too large","source":"host"}}\n';
const handlerError = '{"error":{"code":1001,"description":"Invalid Json","source":0}}\n';

test('answers as described pass, whatever the query or the letter case of the method', () => {
  const cases = [
    ['GET', '/q/v1/status/qav', 200, status],
    ['get', '/q/v1/status/qav?probe=1', 200, status],
    ['GET', '/q/v1/settings?id=NONE', 200, 'null\n'],
    ['POST', '/q/v1/revoke', 200, ''],
    ['OPTIONS', '/q/v1/frame/match', 200, '{}'],
    ['GET', '/q/v1/status/qav', 431, hostRefusal],
    ['GET', '/q/v1/status/qav', 414, ''],
    ['POST', '/q/v1/sync', 400, handlerError],
  ];
  for (const [method, target, code, body] of cases) {
    const { problem } = checker.check({ method, path: target, status: code, body });
    assert.equal(problem, '', `${method} ${target} ${code}`);
  }
});

test('answers the description does not give are reported with the reason', () => {
  const cases = [
    ['GET', '/q/v1/no/such/path', 200, '{}', /no such path/],
    ['GET', '/status/qav', 200, status, /not under the server URL/],
    ['PUT', '/q/v1/settings', 200, '{}', /no such method/],
    ['GET', '/q/v1/devices/video', 200, '', /the body is empty/],
    ['GET', '/q/v1/status/qav', 200, '{"status":', /not JSON/],
    ['GET', '/q/v1/status/qav', 200, '{"status":"3"}', /body\/status must be integer/],
    ['GET', '/q/v1/camera/status', 200, '{"deviceStatus":1,"extra":true}', /additional properties/],
    // Only the router's generic error and the host's own come back for any status.
    ['GET', '/q/v1/status/qav', 404, handlerError, /anyOf/],
  ];
  for (const [method, target, code, body, reason] of cases) {
    const { problem } = checker.check({ method, path: target, status: code, body });
    assert.match(problem, reason, `${method} ${target} ${code}`);
  }
});
