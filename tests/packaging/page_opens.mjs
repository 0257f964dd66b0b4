// Opens a copy of the page from the file system in headless Chromium, as a
// user opens a downloaded file, and waits until both simulations have drawn
// their first pictures; prints what a test needs as JSON: the version the
// page names, its title, the pictures drawn, the tables' rows and every
// error the page reported.
//   node page_opens.mjs PAGE WEB_DIR     (WEB_DIR: web/, with its node_modules)
import { createRequire } from 'node:module';
import { join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [pagePath, webDir] = process.argv.slice(2);
if (!pagePath || !webDir) {
  console.error('usage: node page_opens.mjs PAGE WEB_DIR');
  process.exit(2);
}
const require = createRequire(join(resolve(webDir), 'package.json'));
const puppeteer = require('puppeteer-core');

const browser = await puppeteer.launch({
  executablePath: process.env.PBSIM_CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args: ['--no-sandbox', '--enable-unsafe-swiftshader'],
});
try {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  const errors = [];
  page.on('console', (m) => {
    if (m.type() === 'error') errors.push(m.text());
  });
  page.on('pageerror', (e) => errors.push(String(e.message || e)));
  await page.goto(pathToFileURL(resolve(pagePath)).href);
  try {
    await page.waitForFunction(() => window.pbsimPage && window.pbsimPage.pictures >= 2, {
      timeout: 60000,
    });
  } catch (e) {
    errors.push(`no first pictures: ${e.message}`);
  }
  const seen = await page.evaluate(() => ({
    version: document.querySelector('meta[name="generator"]')?.content ?? null,
    title: document.title,
    pictures: window.pbsimPage ? window.pbsimPage.pictures : 0,
    rows: document.querySelectorAll('tbody tr').length,
  }));
  console.log(JSON.stringify({ ...seen, errors }));
} finally {
  await browser.close();
}
