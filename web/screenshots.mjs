// The README's pictures of the page: both simulations in headless
// Chromium, the ballistics view turned and zoomed out as a student would.
//   node web/screenshots.mjs OUTPUT_FOLDER   (after scripts/web.sh)
import puppeteer from 'puppeteer-core';
import { join, dirname } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '..');
const out = process.argv[2] || join(root, 'docs');
const browser = await puppeteer.launch({ executablePath: '/usr/bin/chromium', headless: true, args: ['--no-sandbox', '--enable-unsafe-swiftshader'] });
const page = await browser.newPage();
await page.setViewport({ width: 1500, height: 1000 });
await page.goto(`file://${join(root, 'build/web/pbsim.html')}#b.dt=0.05&b.schemes=euler,midpoint,rk4`);
await page.waitForFunction(() => window.pbsimPage && window.pbsimPage.pictures >= 2 && window.pbsimPage.studies >= 1, { timeout: 30000 });
await page.focus('#b-view canvas');
for (let i = 0; i < 9; i++) await page.keyboard.press('-');
for (let i = 0; i < 6; i++) await page.keyboard.press('ArrowLeft');
for (let i = 0; i < 4; i++) await page.keyboard.press('ArrowUp');
await page.keyboard.down('Shift');
for (let i = 0; i < 6; i++) await page.keyboard.press('ArrowUp');
await page.keyboard.up('Shift');
await page.evaluate(() => document.activeElement.blur());
await page.screenshot({ path: join(out, 'web-ballistics.png') });
await page.click('#tab-spring');
await page.waitForFunction(() => document.querySelector('#s-conv-table tbody').rows.length > 0, { timeout: 30000 });
await page.focus('#s-view canvas');
for (let i = 0; i < 3; i++) await page.keyboard.press('-');
await page.$eval('#s-time', (s) => { s.value = '1.5'; s.dispatchEvent(new Event('input')); });
await page.evaluate(() => document.activeElement.blur());
await page.screenshot({ path: join(out, 'web-springmass.png') });
await browser.close();
