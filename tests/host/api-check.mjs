// Checks the API description web/openapi.json: the document itself against the
// OpenAPI 3.0 schema (with every $ref resolved), then every answer that the host
// tests recorded (KS_ANSWER_LOG, one JSON object per line) against the operation
// and response it describes.
//
// usage: node api-check.mjs [--api FILE] [--answers FILE]
// Exits 1 with a list of the mismatches, 2 when it cannot run. A record is
// {"method", "path" (the request target as sent), "status", "body" (the raw
// text), "source" (the test)}.
import { createReadStream, existsSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { createInterface } from 'node:readline';
import { parseArgs } from 'node:util';
import SwaggerParser from '@apidevtools/swagger-parser';
import Ajv from 'ajv';

const here = path.dirname(fileURLToPath(import.meta.url));
const METHODS = ['get', 'put', 'post', 'delete', 'options', 'head', 'patch', 'trace'];
// Marks a response whose body may be empty although it describes a document.
const EMPTY_BODY_ALLOWED = 'x-body-may-be-empty';

// The path part of the document's (only) server URL, "" for the root.
function serverPrefix(api) {
  const url = api.servers?.[0]?.url ?? '/';
  return new URL(url, 'http://host.invalid').pathname.replace(/\/$/, '');
}

// Path templates as patterns, in the document's order: "/a/{id}" matches "/a/7".
function pathMatchers(api) {
  return Object.keys(api.paths).map((template) => {
    const pattern = template
      .split(/(\{[^}]+\})/)
      .map((part) => (part.startsWith('{') ? '[^/]+' : part.replace(/[.*+?^$()|[\]\\]/g, '\\$&')))
      .join('');
    return { template, pattern: new RegExp(`^${pattern}$`) };
  });
}

// Each record of the answer log, or what is wrong with its line; read line by
// line, since a log of camera frames may be large.
async function* readRecords(file) {
  let number = 0;
  for await (const line of createInterface({ input: createReadStream(file), crlfDelay: Infinity })) {
    number += 1;
    if (!line.trim()) continue;
    let record;
    try {
      record = JSON.parse(line);
    } catch (error) {
      yield { problem: `${file}:${number}: not JSON (${error.message})` };
      continue;
    }
    const complete =
      typeof record.method === 'string' &&
      typeof record.path === 'string' &&
      Number.isInteger(record.status) &&
      typeof record.body === 'string';
    yield complete
      ? { record }
      : { problem: `${file}:${number}: a record without method, path, status and body` };
  }
}

// Holds recorded answers to a parsed and dereferenced API description.
export class AnswerChecker {
  constructor(api) {
    this.api = api;
    this.prefix = serverPrefix(api);
    this.matchers = pathMatchers(api);
    this.ajv = new Ajv({ allErrors: true, strict: true, allowUnionTypes: true });
    this.validators = new WeakMap();
  }

  // The name of the operation that a record answers, and what is wrong with the answer ('' when nothing).
  check(record) {
    const target = new URL(record.path, 'http://host.invalid');
    const method = record.method.toLowerCase();
    const name = `${method.toUpperCase()} ${target.pathname}`;
    if (!target.pathname.startsWith(`${this.prefix}/`)) {
      return { name, problem: `the path is not under the server URL ${this.prefix}/` };
    }
    const relative = target.pathname.slice(this.prefix.length);
    const matched = this.matchers.find((matcher) => matcher.pattern.test(relative));
    if (!matched) return { name, problem: 'the document describes no such path' };
    const operation = METHODS.includes(method) ? this.api.paths[matched.template][method] : undefined;
    const operationName = `${method.toUpperCase()} ${matched.template}`;
    if (!operation) return { name: operationName, problem: 'the document describes no such method' };
    const response = operation.responses[String(record.status)] ?? operation.responses.default;
    if (!response) {
      return { name: operationName, problem: `the document describes no ${record.status} answer` };
    }
    return { name: operationName, problem: this.checkBody(record, response) };
  }

  checkBody(record, response) {
    const schema = response.content?.['application/json']?.schema;
    if (record.body === '') {
      return !schema || response[EMPTY_BODY_ALLOWED] ? '' : 'the body is empty';
    }
    if (!schema) return 'a body where the document describes none';
    let document;
    try {
      document = JSON.parse(record.body);
    } catch {
      return 'the body is not JSON';
    }
    const validate = this.validatorOf(schema);
    if (validate(document)) return '';
    return this.ajv.errorsText(validate.errors, { dataVar: 'body', separator: '; ' });
  }

  validatorOf(schema) {
    let validate = this.validators.get(schema);
    if (!validate) {
      validate = this.ajv.compile(schema);
      this.validators.set(schema, validate);
    }
    return validate;
  }
}

// "METHOD /path" of every operation.
function operationNames(api) {
  return Object.entries(api.paths).flatMap(([template, item]) =>
    METHODS.filter((method) => item[method]).map((method) => `${method.toUpperCase()} ${template}`),
  );
}

function describe(record) {
  const body = record.body.length > 160 ? `${record.body.slice(0, 160)}...` : record.body;
  return `${record.method} ${record.path} -> ${record.status} ${JSON.stringify(body)}`;
}

async function main() {
  const { values } = parseArgs({
    options: {
      api: { type: 'string', default: path.resolve(here, '..', '..', 'web', 'openapi.json') },
      answers: { type: 'string' },
    },
  });
  // Validates the document against the OpenAPI schema and resolves its $refs.
  const api = await SwaggerParser.validate(values.api);
  console.log(`${values.api}: a valid OpenAPI ${api.openapi} document, ${operationNames(api).length} operations`);

  if (!values.answers || !existsSync(values.answers)) {
    console.log('no answers recorded: only the document was checked');
    return 0;
  }
  const checker = new AnswerChecker(api);
  const answered = new Set();
  const checked = new Map();
  const sources = new Set();
  const problems = [];
  let answers = 0;
  for await (const { record, problem: unreadable } of readRecords(values.answers)) {
    if (unreadable) {
      problems.push(unreadable);
      continue;
    }
    answers += 1;
    sources.add(record.source ?? '(no source)');
    const { name, problem } = checker.check(record);
    answered.add(name);
    const status = `${name} ${record.status}`;
    checked.set(status, (checked.get(status) ?? 0) + 1);
    if (problem) problems.push(`${describe(record)} [${record.source}]: ${problem}`);
  }

  console.log(`${answers} answers from ${sources.size} tests, per operation and status:`);
  for (const [status, count] of [...checked].sort()) console.log(`  ${String(count).padStart(5)}  ${status}`);
  const unanswered = operationNames(api).filter(
    (name) => !answered.has(name) && !name.startsWith('OPTIONS '),
  );
  console.log(`described but not answered in these tests: ${unanswered.join(', ') || 'none'}`);
  if (problems.length === 0) {
    console.log('every answer matches the API description');
    return 0;
  }
  console.log(`${problems.length} problems with the recorded answers:`);
  for (const problem of problems) console.log(`FAIL: ${problem}`);
  return 1;
}

// Run as a program; imported (by its test), it only lends AnswerChecker.
if (process.argv[1] && import.meta.url === pathToFileURL(process.argv[1]).href) {
  main().then(
    (code) => process.exit(code),
    (error) => {
      console.error(`api-check: ${error.message}`);
      process.exit(2);
    },
  );
}
