// The web console in Debian's headless Chromium, as a person uses it; each
// state checked with axe-core, the page checked to fit from a phone to a wide
// screen. SCREENSHOT=path also saves pictures of the page beside that path.
//   DABTOOL=build/tools/dabtool/dabtool node --test tests/browser/console.test.mjs
import { after, before, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { createRequire } from 'node:module';
import { chromium } from 'playwright-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const dabtool = path.resolve(process.env.DABTOOL || path.join(here, '../../build/tools/dabtool/dabtool'));
const seededContacts = 60;
const total = seededContacts + 2;
const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

const csv = (...lines) => `${lines.join('\r\n')}\r\n`;
const goodFile = readFileSync(path.join(here, '../fixtures/import/people.csv'), 'utf8');
const malformedFile = csv('First Name,Last Name,Display Name,Company,E-mail,Internet Fax', '"Alan"x,Turing,Alan Turing,,,');
// Another program's file: its columns are found by name and shown first.
const googleFile = readFileSync(path.join(here, '../fixtures/import/google.csv'), 'utf8');

let dataDir, server, serverExit, browser, page;
const pageErrors = [], missing = [];  // the page's errors; addresses it asked for that the console did not have

// Starts dabtool serve on a free port and resolves with the console's address.
function startServer() {
  server = spawn(dabtool, ['--data-dir', '.', 'serve', '--port', '0', '--quiet'], { cwd: dataDir, stdio: ['ignore', 'pipe', 'inherit'] });
  serverExit = new Promise((resolve) => server.on('exit', (code, signal) => resolve({ code, signal })));
  return new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error(`no address from dabtool serve: ${out}`)), 10000);
    server.stdout.on('data', (chunk) => {
      const match = /(https?:\/\/\S+)/.exec(out += chunk);
      if (match) { clearTimeout(timer); resolve(match[1]); }
    });
    server.on('exit', (code) => reject(new Error(`dabtool serve ended with ${code}: ${out}`)));
  });
}

// Where a picture named `name` goes, beside the page's own.
const shot = (name) => path.join(path.dirname(process.env.SCREENSHOT), name);
// Waits for the first element of `selector` that shows `text`.
const showing = (selector, text) => page.locator(selector).filter({ hasText: text }).first().waitFor();
const text = (selector) => page.locator(selector).textContent();
const rows = () => page.locator('#entries tbody tr');
const names = () => page.locator('#entries tbody tr td:nth-child(4)').allTextContents();
const focused = () => page.evaluate(() => document.activeElement.id);

// Fails on every serious or critical finding of axe-core in the page as it is now.
async function checkAccessible(state) {
  const found = await page.evaluate(async (source) => {
    if (!window.axe) (0, eval)(source);
    const { violations } = await window.axe.run(document, { resultTypes: ['violations'] });
    return violations.filter((v) => v.impact === 'serious' || v.impact === 'critical')
      .map((v) => `${v.id} (${v.impact}): ${v.nodes.map((node) => node.target.join(' ')).join(', ')}`);
  }, axeSource);
  assert.deepEqual(found, [], `accessibility of ${state}`);
}

// The visible elements that reach past the page's right or left edge, and
// the frames that would need to scroll sideways.
async function overflowing() {
  return page.evaluate(() => {
    const width = document.documentElement.clientWidth;
    const name = (node) => `${node.tagName.toLowerCase()}${node.id ? `#${node.id}` : ''}`
      + `${node.className && typeof node.className === 'string' ? `.${node.className.split(' ')[0]}` : ''}`;
    const out = [];
    for (const node of document.body.querySelectorAll('*')) {
      const box = node.getBoundingClientRect();
      if (box.width <= 1 || box.height <= 1) continue;
      if (box.right > width + 1 || box.left < -1) out.push(`${name(node)} ${Math.round(box.left)}–${Math.round(box.right)}`);
      const scrolls = node.scrollWidth > node.clientWidth + 1 && getComputedStyle(node).overflowX !== 'visible';
      if (scrolls) out.push(`${name(node)} scrolls ${node.scrollWidth} in ${node.clientWidth}`);
    }
    if (document.documentElement.scrollWidth > width) out.push(`page ${document.documentElement.scrollWidth} in ${width}`);
    return out;
  });
}

async function download(click) {
  const [file] = await Promise.all([page.waitForEvent('download'), click()]);
  return { name: file.suggestedFilename(), text: readFileSync(await file.path(), 'utf8') };
}

// Picks `text` as the file `name` and sends it: the mapping step or the result follows.
async function upload(name, text) {
  await page.setInputFiles('#import-form input[type=file]', { name, mimeType: 'text/csv', buffer: Buffer.from(text) });
  await page.click('#import-form button[type=submit]');
}

before(async () => {
  dataDir = mkdtempSync(path.join(tmpdir(), 'dabtool-console-'));
  execFileSync(dabtool, ['--data-dir', dataDir, 'seed', '--contacts', String(seededContacts), '--groups', '2']);
  const url = await startServer();
  // Playwright gives the browser a fresh profile folder of its own.
  browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync'] });
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1400, height: 900 } });
  page = await context.newPage();
  page.on('pageerror', (error) => pageErrors.push(error.message));
  page.on('response', (answer) => { if (answer.status() === 404) missing.push(answer.url()); });
  await page.goto(url);
});

after(async () => {
  await browser?.close();
  if (server && server.exitCode === null) server.kill('SIGTERM');
  await serverExit;
  rmSync(dataDir, { recursive: true, force: true });
});

test('the table, export, template, import with its mapping step, a malformed file, delete and undo, a group', async () => {
  await showing('#range', `1–50 of ${total}`);
  assert.equal(await rows().count(), 50);
  assert.match(await text('#book-info'), new RegExp(`${seededContacts} contacts and 2 groups`));
  await page.click('#next');
  await showing('#range', `51–${total} of ${total}`);
  assert.equal(await rows().count(), total - 50);
  assert.ok(await page.locator('#next').isDisabled());
  const name = await rows().first().locator('td').nth(3).textContent();
  await page.fill('#search', name);
  await showing('#range', 'matching');
  const found = await names();
  assert.ok(found.length >= 1 && found.every((shown) => shown.includes(name)), found.join(' | '));
  await page.fill('#search', 'no such entry anywhere');
  await showing('#empty', 'No entry matches');
  await page.fill('#search', '');
  await showing('#range', `1–50 of ${total}`);
  assert.deepEqual(missing, [], 'the page, its icon and its parts are all there');
  // Export downloads the DAB file the library wrote and records it.
  const file = await download(() => page.click('#export-form button[type=submit]'));
  // Its name and rows are web_server_test's; here the form's choice of format and delimiter.
  assert.ok(file.text.startsWith('ZltAddressBookId,DisplayName,FirstName,LastName,Company,'), file.text);
  await showing('#export-result', `Exported ${total} entries`);
  await showing('#audit li', `address book exported: ${total} entries`);
  await checkAccessible('the export result');
  // Download template gives the columns of the ticked services only.
  await page.uncheck('#template-form input[value=ifax]');
  await page.uncheck('#template-form input[value=scan]');
  const sample = await download(() => page.click('#template-form button[type=submit]'));
  assert.equal(sample.name, 'AddressBookSample.csv');
  const header = sample.text.split('\n')[0].split(',');
  assert.equal(header.length, 1 + 9 + 4, header.join(','));
  assert.equal(await text('#export-result'), '', 'the next action replaces the result');
  // Import shows the counts, the refused record and the new contacts.
  await upload('people.csv', goodFile);
  await page.locator('#mapping-step').waitFor();
  await checkAccessible('the mapping step');
  await page.click('#mapping-import');
  const result = page.locator('#import-result');
  await showing('#import-result', 'Partly done: Created 2 contacts from 3 data records; 1 refused.');
  assert.deepEqual([await focused(), await result.getAttribute('role')], ['import-result', 'status'], 'the focus follows, read out');
  await showing('#audit li', 'import of people.csv: Created 2 contacts');
  await result.locator('summary').filter({ hasText: '1 record not created: the display name (column 3) is empty.' }).click();
  assert.equal(await result.locator('details .records li').textContent(), 'record 2 (line 3)');
  await showing('#entries tbody tr', 'Grace Hopper');
  assert.match(await text('#book-info'), new RegExp(`${seededContacts + 2} contacts`));
  if (process.env.SCREENSHOT) {
    await page.click('#first');
    await showing('#range', '1–50');
    await page.setViewportSize({ width: 1600, height: 900 });
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({ path: process.env.SCREENSHOT });
  }
  // Another program's file: the mapping step shows where each column goes and imports only when confirmed.
  await upload('google.csv', googleFile);
  const step = page.locator('#mapping-step');
  await step.waitFor();
  assert.match(await text('#mapping-reading'), /as Google Contacts CSV/);
  const chosen = (name) => page.locator(`#mapping-table select[name=${name}]`).inputValue();
  assert.deepEqual([await chosen('email'), await chosen('ifax')], ['18', '-1']);
  const firstRow = page.locator('#mapping-preview tbody tr').first();
  assert.deepEqual(await firstRow.locator('td').allTextContents(),
    ['Jane', 'Doe', 'Jane Doe', 'Acme, Inc.', 'jane.doe@example.com', '']);
  await page.selectOption('#mapping-table select[name=display]', '10');
  await firstRow.filter({ hasText: 'Acme, Inc.Acme, Inc.' }).waitFor();
  if (process.env.SCREENSHOT) await step.scrollIntoViewIfNeeded()
    .then(() => page.screenshot({ path: process.env.SCREENSHOT.replace(/\.png$/, '-mapping.png') }));
  await page.click('#mapping-import');
  await showing('#import-result', 'Created 2 contacts from 2 data records');
  assert.ok(await step.isHidden());
  await showing('#entries tbody tr', 'Acme, Inc.');
  // Columns the tool does not know are chosen in the mapping step.
  await upload('odd.csv', csv('Who,Where', 'Al Bo,al@example.com'));
  await page.locator('#mapping-step').waitFor();
  assert.match(await text('#mapping-outcome'), /names no column the tool knows/);
  assert.ok(await page.locator('#mapping-import').isDisabled());
  await page.selectOption('#mapping-table select[name=display]', '0');
  await page.selectOption('#mapping-table select[name=email]', '1');
  await page.click('#mapping-import:enabled');
  await showing('#import-result', 'Created 1 contact from 1 data record');
  await showing('#book-info', `${seededContacts + 5} contacts`);
  // A malformed file shows the error; that it changes nothing is web_server_test's.
  await upload('broken.csv', malformedFile);
  const failed = await page.locator('#import-result.failed').textContent();
  assert.match(failed, /Import failed: the import stopped at record 1 \(starting on line 2/);
  assert.match(failed, /Import status 6: a field could not be read before the second record was complete\./);
  await checkAccessible('a failed import');
  // Delete names what goes and asks; Undo puts each deletion back.
  const book = await text('#book-info');
  const questions = [];
  const answer = (accept) => page.once('dialog', (d) => { questions.push(d.message()); return accept ? d.accept() : d.dismiss(); });
  const ada = rows().filter({ hasText: 'Ada Lovelace' }).locator('button.delete');
  answer(false);
  await ada.click();
  assert.match(questions[0], /^Delete Ada Lovelace \(contact \d+\)\?$/);
  assert.equal(await text('#book-info'), book);
  answer(true);
  await ada.click();
  await showing('#message', 'Deleted Ada Lovelace');
  await showing('#last-change', 'the deletion of Ada Lovelace');
  await page.click('#first');
  await showing('#range', '1–50');
  const boxes = page.locator('#entries tbody tr input[type=checkbox]');
  await boxes.nth(0).check();
  await boxes.nth(1).check();
  answer(true);
  await page.click('#delete-selected');
  assert.match(questions[2], /^Delete 2 entries: /);
  await showing('#message', 'Deleted 2 contacts');
  await showing('#book-info', `${Number(/(\d+) contacts/.exec(book)[1]) - 3} contacts`);
  await page.click('#undo');
  await showing('#message', 'Undid the deletion of 2 contacts');
  await showing('#last-change', 'the deletion of Ada Lovelace');
  await page.click('#undo');
  await showing('#message', 'Undid the deletion of Ada Lovelace');
  await showing('#book-info', book);
  // A group opens from the keyboard with its members, and closes back to where it was.
  const { entries } = await page.evaluate(() => fetch('/api/contacts?limit=500').then((answer) => answer.json()));
  const group = entries.find((entry) => entry.members > 0);
  await page.fill('#search', group.displayName);
  await showing('#range', 'matching');
  const opener = page.locator('#entries .c-groups button', { hasText: 'member' }).first();
  await opener.focus();
  await page.keyboard.press('Enter');
  await page.locator('#group-view').waitFor();
  assert.deepEqual([await text('#group-title'), await focused()], [`Group: ${group.displayName}`, 'group-title']);
  // Which entries are its members is web_server_test's; here that the view lists them all.
  assert.equal(await page.locator('#group-members tbody tr').count(), Math.min(group.members, 50));
  await checkAccessible('an open group');
  await page.keyboard.press('Escape');
  assert.ok(await page.locator('#group-view').isHidden());
  assert.ok(await opener.evaluate((node) => node === document.activeElement), 'the focus is back');
  // A contact's row names its groups; each opens its group.
  const member = entries.find((entry) => entry.memberOf.length > 0);
  await page.fill('#search', member.email);
  await showing('#range', '1–1 of 1 matching');
  await page.locator('#entries .c-groups button', { hasText: member.memberOf[0].name }).first().click();
  await showing('#group-title', member.memberOf[0].name);
  await page.locator('#group-members tbody button', { hasText: member.displayName }).click();
  await showing('#entries tbody tr', member.email);
  await page.click('#group-close');
  await page.fill('#search', '');
});

test('the page fits from a wide screen to a phone; a big import: progress, a short grouped summary, the report', async () => {
  await showing('#range', '1–50');
  for (const width of [1920, 1400, 1280, 1024, 420]) {
    await page.setViewportSize({ width, height: 900 });
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
    assert.deepEqual(await overflowing(), [], `at ${width} px`);
    await checkAccessible(`the page at ${width} px`);
    if (process.env.SCREENSHOT && [1400, 420].includes(width)) await page.screenshot({ path: shot(`console-${width}.png`) });
  }
  // A big import: progress, a grouped summary of normal height and the whole report.
  await page.setViewportSize({ width: 1600, height: 900 });
  const line = (i) => `F,L,${i % 1000 === 1 ? '' : `Name ${i}`},,${i % 10 === 0 ? 'zö' : 'z'}${i}@example.com,`;
  const lines = ['First,Last,Display,Company,E-mail,Fax', ...Array.from({ length: 60000 }, (_, i) => line(i + 1))];
  await upload('big.csv', `${lines.join('\n')}\n`);
  await page.locator('#mapping-step').waitFor();
  await page.click('#mapping-import');
  if (process.env.SCREENSHOT) {
    // The bar shows only while the library reads: take the picture at once.
    const bar = await page.waitForSelector('#import-progress:not([hidden])', { timeout: 5000 }).catch(() => null);
    const box = bar && await bar.boundingBox();
    if (box) await page.screenshot({ path: shot('import-progress.png'), clip: { ...box, width: box.width + 40 } });
  }
  const result = page.locator('#import-result.partly');
  await result.filter({ hasText: 'Created 59940 contacts from 60000 data records; 60 refused.' }).waitFor();
  const doubtful = result.locator('details').filter({ hasText: '6,000 contacts created, but the e-mail address' });
  await doubtful.locator('summary').click();
  const items = await doubtful.locator('li').allTextContents();
  assert.deepEqual([items.length, items[0], items[300]], [301, 'record 10 (line 11)', '… and 5700 more in the report']);
  const height = await page.evaluate(() => document.documentElement.scrollHeight);
  assert.ok(height < 2500, `the page is ${height} px tall`);
  const report = await download(() => result.locator('a', { hasText: 'Download the report' }).click());
  assert.equal(report.name, 'import-report.csv');
  // Its rows are dabtool_test's (ABigFileGetsAShortAnswerAndAWholeReport); here that it is all there.
  assert.equal(report.text.trimEnd().split('\r\n').length, 60001);
  if (process.env.SCREENSHOT) await result.screenshot({ path: shot('import-summary.png') });
  assert.deepEqual(pageErrors, []);
});
