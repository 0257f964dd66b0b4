// What the browser tests share: headless Chromium with the page loaded from
// the file system or from a local server, errors the page reports, and
// pbsim-study run as a user runs it.
import puppeteer from 'puppeteer-core';
import { createServer } from 'node:http';
import { readFileSync } from 'node:fs';
import { execFileSync } from 'node:child_process';
import { join } from 'node:path';

export const pagePath = process.env.PBSIM_PAGE;
export const studyProgram = process.env.PBSIM_STUDY;
export const referenceProgram = process.env.PBSIM_WEB_REFERENCE;
export const shots = process.env.PBSIM_SHOTS || '/tmp';
if (!pagePath || !studyProgram || !referenceProgram) {
  throw new Error('run through scripts/web-test.sh (PBSIM_PAGE, PBSIM_STUDY, PBSIM_WEB_REFERENCE)');
}

export async function launch(extraArgs = []) {
  return puppeteer.launch({
    executablePath: process.env.PBSIM_CHROMIUM || '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--enable-unsafe-swiftshader', ...extraArgs],
  });
}

// Serves the page alone on 127.0.0.1, as any static host would.
export async function serve() {
  const html = readFileSync(pagePath);
  const server = createServer((req, res) => {
    if (req.url === '/' || req.url.startsWith('/pbsim.html')) {
      res.writeHead(200, { 'content-type': 'text/html; charset=utf-8' });
      res.end(html);
    } else {
      res.writeHead(404);
      res.end();
    }
  });
  await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
  return { url: `http://127.0.0.1:${server.address().port}/pbsim.html`, close: () => server.close() };
}

export const fileUrl = `file://${pagePath}`;

// Opens the page and waits for both simulations' first pictures; `errors`
// collects every console error and uncaught exception.
export async function open(browser, { url = fileUrl, hash = '', width = 1400, height = 1000 } = {}) {
  const page = await browser.newPage();
  await page.setViewport({ width, height });
  const errors = [];
  page.on('console', (m) => {
    if (m.type() === 'error') errors.push(m.text());
  });
  page.on('pageerror', (e) => errors.push(String(e.message || e)));
  await page.goto(url + hash);
  await page.waitForFunction(() => window.pbsimPage && window.pbsimPage.pictures >= 2, { timeout: 30000 });
  return { page, errors };
}

export async function pictures(page) {
  return page.evaluate(() => window.pbsimPage.pictures);
}

// Replaces a field's text as a user does (select all, type) and waits for
// the picture that answers the last keystroke.
export async function type(page, selector, text) {
  const before = await pictures(page);
  await page.click(selector, { clickCount: 3 });
  await page.keyboard.press('End');
  await page.keyboard.down('Shift');
  await page.keyboard.press('Home');
  await page.keyboard.up('Shift');
  await page.keyboard.type(text);
  return before;
}

export async function waitForPicture(page, before) {
  await page.waitForFunction((n) => window.pbsimPage.pictures > n, { timeout: 30000 }, before);
  // Later keystrokes of the same typing may still be on their way.
  await page.waitForFunction(() => !document.getElementById('status').textContent.startsWith('Computing'), { timeout: 30000 });
}

export function study(args) {
  return execFileSync(studyProgram, args, { encoding: 'utf8', maxBuffer: 1 << 30 });
}

// pbsim-study's table: {scheme: [cells after the name]}.
export function studyTable(text) {
  const rows = {};
  for (const line of text.split('\n').slice(2)) {
    const cells = line.trim().split(/\s{2,}/);
    if (cells.length > 1 && /^[a-z][a-z0-9-]*$/.test(cells[0])) rows[cells[0]] = cells.slice(1);
  }
  return rows;
}

export function reference(model, scheme, values) {
  const args = [model, scheme, ...Object.entries(values).map(([k, v]) => `${k}=${v}`)];
  return JSON.parse(execFileSync(referenceProgram, args, { encoding: 'utf8', maxBuffer: 1 << 30 }));
}

// The page's tables as text: {scheme name: [cells after the scheme]}.
export async function pageTable(page, id) {
  return page.evaluate((id) => {
    const rows = {};
    for (const tr of document.getElementById(id).tBodies[0].rows) {
      const cells = [...tr.cells].map((c) => c.textContent.trim());
      rows[tr.cells[0].dataset.scheme] = cells.slice(1);
    }
    return rows;
  }, id);
}

export function shotPath(name) {
  return join(shots, name);
}
