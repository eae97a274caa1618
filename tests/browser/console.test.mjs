// The web console in Debian's headless Chromium, as a person uses it: browse
// and search the table, export, download a template, import a good file and
// a malformed one, delete entries and undo the deletions, open a group from
// the keyboard; each state checked with axe-core, and the page checked to fit
// from a phone to a wide screen. Set SCREENSHOT=path to also save pictures of
// the page beside that path.
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
const chromiumPath = process.env.CHROMIUM || '/usr/bin/chromium';
const seededContacts = 60;
const seededGroups = 2;
const axeSource = readFileSync(createRequire(import.meta.url).resolve('axe-core/axe.min.js'), 'utf8');

const goodFile = [
  'First Name,Last Name,Display Name,Company,E-mail,Internet Fax',
  'Ada,Lovelace,Ada Lovelace,"Analytical Engines, Ltd",ada@example.com,',
  'Nobody,Here,,No Name Inc,nobody@example.com,',
  'Grace,Hopper,Grace Hopper,Navy,grace@example.com,fax.grace@example.com',
  '',
].join('\r\n');
const malformedFile = 'First Name,Last Name,Display Name,Company,E-mail,Internet Fax\r\n'
  + '"Alan"x,Turing,Alan Turing,,,\r\n';
// Another program's file: its columns are found by name and shown first.
const googleFile = [
  'First Name,Middle Name,Last Name,Organization Name,E-mail 1 - Label,E-mail 1 - Value',
  'Jane,,Doe,"Acme, Inc.",* Work,jane.doe@example.com',
  'Remi,,Garcon,,Home,remi@example.org',
  '',
].join('\r\n');

let dataDir;
let server;
let serverExit;
let browser;
let page;
const pageErrors = [];
const missing = [];  // addresses the page asked for that the console did not have

// Starts dabtool serve on a free port and resolves with the console's address.
function startServer() {
  server = spawn(dabtool, ['--data-dir', '.', 'serve', '--port', '0', '--quiet'], {
    cwd: dataDir, stdio: ['ignore', 'pipe', 'inherit'],
  });
  serverExit = new Promise((resolve) => server.on('exit', (code, signal) => resolve({ code, signal })));
  return new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error(`no address from dabtool serve: ${out}`)), 10000);
    server.stdout.on('data', (chunk) => {
      out += chunk;
      const match = /(https?:\/\/\S+)/.exec(out);
      if (match) {
        clearTimeout(timer);
        resolve(match[1]);
      }
    });
    server.on('exit', (code) => reject(new Error(`dabtool serve ended with ${code}: ${out}`)));
  });
}

// Where a picture named `name` goes, beside the page's own.
function shot(name) {
  return path.join(path.dirname(process.env.SCREENSHOT), name);
}

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
      if (node.scrollWidth > node.clientWidth + 1 && getComputedStyle(node).overflowX !== 'visible') {
        out.push(`${name(node)} scrolls ${node.scrollWidth} in ${node.clientWidth}`);
      }
    }
    if (document.documentElement.scrollWidth > width) out.push(`page ${document.documentElement.scrollWidth} in ${width}`);
    return out;
  });
}

async function bookInfo() {
  return page.locator('#book-info').textContent();
}

async function download(click) {
  const [file] = await Promise.all([page.waitForEvent('download'), click()]);
  return { name: file.suggestedFilename(), text: readFileSync(await file.path(), 'utf8') };
}

before(async () => {
  dataDir = mkdtempSync(path.join(tmpdir(), 'dabtool-console-'));
  execFileSync(dabtool, ['--data-dir', dataDir, 'seed', '--contacts', String(seededContacts),
    '--groups', String(seededGroups)]);
  const url = await startServer();
  // Playwright gives the browser a fresh profile folder of its own.
  browser = await chromium.launch({
    executablePath: chromiumPath,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1400, height: 900 } });
  page = await context.newPage();
  page.on('pageerror', (error) => pageErrors.push(error.message));
  page.on('response', (answer) => { if (answer.status() === 404) missing.push(answer.url()); });
  await page.goto(url);
});

after(async () => {
  await browser?.close();
  if (server && server.exitCode === null) server.kill('SIGTERM');
  const exit = await serverExit;
  rmSync(dataDir, { recursive: true, force: true });
  assert.deepEqual(exit, { code: 0, signal: null }, 'dabtool serve stops cleanly on SIGTERM');
});

test('the table pages and searches the address book', async () => {
  const total = seededContacts + seededGroups;
  await page.locator('#range').filter({ hasText: `1–50 of ${total}` }).waitFor();
  assert.equal(await page.locator('#entries tbody tr').count(), 50);
  assert.match(await bookInfo(), new RegExp(`${seededContacts} contacts and ${seededGroups} groups`));

  await page.click('#next');
  await page.locator('#range').filter({ hasText: `51–${total} of ${total}` }).waitFor();
  assert.equal(await page.locator('#entries tbody tr').count(), total - 50);
  assert.ok(await page.locator('#next').isDisabled());

  const name = await page.locator('#entries tbody tr').first().locator('td').nth(3).textContent();
  await page.fill('#search', name);
  await page.locator('#range').filter({ hasText: 'matching' }).waitFor();
  const names = await page.locator('#entries tbody tr td:nth-child(4)').allTextContents();
  assert.ok(names.length >= 1 && names.every((shown) => shown.includes(name)), names.join(' | '));

  await page.fill('#search', 'no such entry anywhere');
  await page.locator('#empty').filter({ hasText: 'No entry matches' }).waitFor();
  await page.fill('#search', '');
  await page.locator('#range').filter({ hasText: `1–50 of ${total}` }).waitFor();
  await checkAccessible('the table');
  assert.deepEqual(missing, [], 'the page, its icon and its parts are all there');
});

test('Export downloads the DAB file the library wrote and records it', async () => {
  const firstName = await page.locator('#entries tbody tr').first().locator('td').nth(3).textContent();
  const file = await download(() => page.click('#export-form button[type=submit]'));
  assert.equal(file.name, 'ExportedAddressBook.csv');
  const lines = file.text.split('\r\n');
  assert.equal(lines[0].split(',').length, 26);
  assert.ok(lines[0].startsWith('ZltAddressBookId,DisplayName,FirstName,LastName,Company,'), lines[0]);
  assert.ok(lines[1].startsWith(`1,${firstName},`), lines[1]);
  assert.equal(lines.filter((line) => line !== '').length, 1 + seededContacts + seededGroups);
  await page.locator('#export-result').filter({ hasText: `Exported ${seededContacts + seededGroups} entries` }).waitFor();
  await page.locator('#audit li').filter({ hasText: `address book exported: ${seededContacts + seededGroups} entries` })
    .first().waitFor();
  await checkAccessible('the export result');
});

test('Download template gives the columns of the ticked services only', async () => {
  await page.uncheck('#template-form input[value=ifax]');
  await page.uncheck('#template-form input[value=scan]');
  const file = await download(() => page.click('#template-form button[type=submit]'));
  assert.equal(file.name, 'AddressBookSample.csv');
  const header = file.text.split('\n')[0].split(',');
  assert.equal(header.length, 1 + 9 + 4, header.join(','));
  assert.deepEqual(header.slice(-4), ['FaxNumber', 'ZltIsFaxFavorite', 'E-mailAddress', 'ZltIsEmailFavorite']);
  assert.ok(!header.includes('InternetFaxAddress') && !header.includes('ScanNickName'));
  assert.equal(await page.locator('#export-result').textContent(), '', 'the next action replaces the result');
});

test('Import shows the counts, the refused record and the new contacts', async () => {
  await page.setInputFiles('#import-form input[type=file]', {
    name: 'people.csv', mimeType: 'text/csv', buffer: Buffer.from(goodFile),
  });
  await page.click('#import-form button[type=submit]');
  await page.locator('#mapping-step').waitFor();
  await checkAccessible('the mapping step');
  await page.click('#mapping-import');
  const result = page.locator('#import-result');
  await result.filter({ hasText: 'Partly done: Created 2 contacts from 3 data records; 1 refused.' }).waitFor();
  assert.equal(await page.evaluate(() => document.activeElement.id), 'import-result', 'the focus follows');
  assert.equal(await result.getAttribute('role'), 'status', 'the result is read out');
  await page.locator('#audit li').filter({ hasText: 'import of people.csv: Created 2 contacts' }).waitFor();
  await result.locator('summary').filter({ hasText: '1 record not created: the display name (column 3) is empty.' }).click();
  assert.equal(await result.locator('details .records li').textContent(), 'record 2 (line 3)');

  await page.locator('#entries tbody tr').filter({ hasText: 'Grace Hopper' }).waitFor();
  const names = await page.locator('#entries tbody tr td:nth-child(4)').allTextContents();
  assert.ok(names.includes('Ada Lovelace') && names.includes('Grace Hopper'), names.join(' | '));
  assert.match(await bookInfo(), new RegExp(`${seededContacts + 2} contacts`));

  if (process.env.SCREENSHOT) {
    await page.click('#first');
    await page.locator('#range').filter({ hasText: '1–50' }).waitFor();
    await page.setViewportSize({ width: 1600, height: 900 });
    await page.evaluate(() => window.scrollTo(0, 0));
    await page.screenshot({ path: process.env.SCREENSHOT });
  }
});

test('the mapping step shows where each column goes and imports only when confirmed', async () => {
  const before = await bookInfo();
  await page.setInputFiles('#import-form input[type=file]', {
    name: 'google.csv', mimeType: 'text/csv', buffer: Buffer.from(googleFile),
  });
  await page.click('#import-form button[type=submit]');
  const step = page.locator('#mapping-step');
  await step.waitFor();
  assert.match(await page.locator('#mapping-reading').textContent(), /as Google Contacts CSV/);
  assert.equal(await page.locator('#mapping-table select[name=email]').inputValue(), '5');
  assert.equal(await page.locator('#mapping-table select[name=ifax]').inputValue(), '-1');
  const firstRow = page.locator('#mapping-preview tbody tr').first();
  assert.deepEqual(await firstRow.locator('td').allTextContents(),
    ['Jane', 'Doe', 'Jane Doe', 'Acme, Inc.', 'jane.doe@example.com', '']);
  assert.equal(await bookInfo(), before, 'the check changes nothing');

  await page.selectOption('#mapping-table select[name=display]', '3');
  await firstRow.filter({ hasText: 'Acme, Inc.Acme, Inc.' }).waitFor();
  if (process.env.SCREENSHOT) {
    await step.scrollIntoViewIfNeeded();
    await page.screenshot({ path: process.env.SCREENSHOT.replace(/\.png$/, '-mapping.png') });
  }
  await page.click('#mapping-import');
  await page.locator('#import-result').filter({ hasText: 'Created 2 contacts from 2 data records' }).waitFor();
  assert.ok(await step.isHidden());
  await page.locator('#entries tbody tr').filter({ hasText: 'Acme, Inc.' }).first().waitFor();
});

test('columns the tool does not know are chosen in the mapping step', async () => {
  await page.setInputFiles('#import-form input[type=file]', {
    name: 'odd.csv', mimeType: 'text/csv', buffer: Buffer.from('Who,Where\r\nAl Bo,al@example.com\r\n'),
  });
  await page.click('#import-form button[type=submit]');
  await page.locator('#mapping-step').waitFor();
  assert.match(await page.locator('#mapping-outcome').textContent(), /names no column the tool knows/);
  assert.ok(await page.locator('#mapping-import').isDisabled());
  await page.selectOption('#mapping-table select[name=display]', '0');
  await page.selectOption('#mapping-table select[name=email]', '1');
  await page.locator('#mapping-import:enabled').waitFor();
  await page.click('#mapping-import');
  await page.locator('#import-result').filter({ hasText: 'Created 1 contact from 1 data record' }).waitFor();
  await page.locator('#book-info').filter({ hasText: `${seededContacts + 5} contacts` }).waitFor();
});

test('a malformed file shows the error and changes nothing', async () => {
  const before = await bookInfo();
  await page.setInputFiles('#import-form input[type=file]', {
    name: 'broken.csv', mimeType: 'text/csv', buffer: Buffer.from(malformedFile),
  });
  await page.click('#import-form button[type=submit]');
  const result = page.locator('#import-result.failed');
  await result.waitFor();
  const text = await result.textContent();
  assert.match(text, /Import failed: the import stopped at record 1 \(starting on line 2/);
  assert.match(text, /Import status 6: a field could not be read before the second record was complete\./);
  assert.equal(await bookInfo(), before);
  await checkAccessible('a failed import');
  assert.deepEqual(pageErrors, []);
});

test('Delete names what goes and asks; Undo puts each deletion back', async () => {
  const before = await bookInfo();
  const questions = [];
  const answer = (accept) => page.once('dialog', (dialog) => {
    questions.push(dialog.message());
    return accept ? dialog.accept() : dialog.dismiss();
  });
  const ada = page.locator('#entries tbody tr').filter({ hasText: 'Ada Lovelace' });
  answer(false);
  await ada.locator('button.delete').click();
  assert.match(questions[0], /^Delete Ada Lovelace \(contact \d+\)\?$/);
  assert.equal(await bookInfo(), before);
  answer(true);
  await ada.locator('button.delete').click();
  await page.locator('#message').filter({ hasText: 'Deleted Ada Lovelace' }).waitFor();
  await page.locator('#last-change').filter({ hasText: 'the deletion of Ada Lovelace' }).waitFor();

  await page.click('#first');
  await page.locator('#range').filter({ hasText: '1–50' }).waitFor();
  const boxes = page.locator('#entries tbody tr input[type=checkbox]');
  await boxes.nth(0).check();
  await boxes.nth(1).check();
  answer(true);
  await page.click('#delete-selected');
  assert.match(questions[2], /^Delete 2 entries: /);
  await page.locator('#message').filter({ hasText: 'Deleted 2 contacts' }).waitFor();
  const contactsBefore = Number(/(\d+) contacts/.exec(before)[1]);
  await page.locator('#book-info').filter({ hasText: `${contactsBefore - 3} contacts` }).waitFor();

  await page.click('#undo');
  await page.locator('#message').filter({ hasText: 'Undid the deletion of 2 contacts' }).waitFor();
  await page.locator('#last-change').filter({ hasText: 'the deletion of Ada Lovelace' }).waitFor();
  await page.click('#undo');
  await page.locator('#message').filter({ hasText: 'Undid the deletion of Ada Lovelace' }).waitFor();
  await page.locator('#book-info').filter({ hasText: before }).waitFor();
  assert.deepEqual(pageErrors, []);
});

test('a group opens from the keyboard with its members, and closes back to where it was', async () => {
  const book = await page.evaluate(() => fetch('/api/contacts?limit=500').then((answer) => answer.json()));
  const group = book.entries.find((entry) => entry.members > 0);
  const expected = book.entries.filter((entry) => entry.memberOf.some((g) => g.id === group.id))
    .map((entry) => entry.displayName);
  await page.fill('#search', group.displayName);
  await page.locator('#range').filter({ hasText: 'matching' }).waitFor();
  const opener = page.locator('#entries .c-groups button', { hasText: 'member' }).first();
  await opener.focus();
  await page.keyboard.press('Enter');
  await page.locator('#group-view').waitFor();
  assert.equal(await page.locator('#group-title').textContent(), `Group: ${group.displayName}`);
  assert.equal(await page.evaluate(() => document.activeElement.id), 'group-title');
  const names = await page.locator('#group-members tbody td:first-child').allTextContents();
  assert.deepEqual(names, expected.slice(0, 50));
  await checkAccessible('an open group');

  await page.keyboard.press('Escape');
  assert.ok(await page.locator('#group-view').isHidden());
  assert.ok(await opener.evaluate((node) => node === document.activeElement), 'the focus is back');

  // A contact's row names its groups; each opens its group.
  const member = book.entries.find((entry) => entry.memberOf.length > 0);
  await page.fill('#search', member.email);
  await page.locator('#range').filter({ hasText: '1–1 of 1 matching' }).waitFor();
  await page.locator('#entries .c-groups button', { hasText: member.memberOf[0].name }).first().click();
  await page.locator('#group-title').filter({ hasText: member.memberOf[0].name }).waitFor();
  await page.locator('#group-members tbody button', { hasText: member.displayName }).click();
  await page.locator('#entries tbody tr').filter({ hasText: member.email }).first().waitFor();
  await page.click('#group-close');
  await page.fill('#search', '');
});

test('the page fits and reads well from a wide screen to a phone', async () => {
  await page.locator('#range').filter({ hasText: '1–50' }).waitFor();
  for (const width of [1920, 1400, 1280, 1024, 420]) {
    await page.setViewportSize({ width, height: 900 });
    await page.evaluate(() => new Promise((done) => requestAnimationFrame(() => requestAnimationFrame(done))));
    assert.deepEqual(await overflowing(), [], `at ${width} px`);
    await checkAccessible(`the page at ${width} px`);
    const picture = process.env.SCREENSHOT && [1400, 420].includes(width)
      ? shot(`console-${width}.png`) : path.join(dataDir, `console-${width}.png`);
    await page.screenshot({ path: picture });
  }
  await page.setViewportSize({ width: 1400, height: 900 });
});

test('a big import: progress, a grouped summary of normal height and the whole report', async () => {
  await page.setViewportSize({ width: 1600, height: 900 });
  const rows = ['First,Last,Display,Company,E-mail,Fax'];
  for (let i = 1; i <= 60000; i += 1) {
    rows.push(`F,L,${i % 1000 === 1 ? '' : `Name ${i}`},,${i % 10 === 0 ? 'zö' : 'z'}${i}@example.com,`);
  }
  await page.setInputFiles('#import-form input[type=file]', {
    name: 'big.csv', mimeType: 'text/csv', buffer: Buffer.from(`${rows.join('\n')}\n`),
  });
  await page.click('#import-form button[type=submit]');
  await page.locator('#mapping-step').waitFor();
  await page.click('#mapping-import');
  if (process.env.SCREENSHOT) {
    // The bar shows only while the library reads: take the picture at once.
    const bar = await page.waitForSelector('#import-progress:not([hidden])', { timeout: 5000 })
      .catch(() => null);
    const box = bar && await bar.boundingBox();
    if (box) await page.screenshot({ path: shot('import-progress.png'), clip: { ...box, width: box.width + 40 } });
  }
  const result = page.locator('#import-result.partly');
  await result.filter({ hasText: 'Created 59940 contacts from 60000 data records; 60 refused.' }).waitFor();
  const doubtful = result.locator('details').filter({ hasText: '6,000 contacts created, but the e-mail address' });
  await doubtful.locator('summary').click();
  const items = await doubtful.locator('li').allTextContents();
  assert.equal(items.length, 301);
  assert.equal(items[0], 'record 10 (line 11)');
  assert.equal(items[300], '… and 5700 more in the report');
  const height = await page.evaluate(() => document.documentElement.scrollHeight);
  assert.ok(height < 2500, `the page is ${height} px tall`);

  const report = await download(() => result.locator('a', { hasText: 'Download the report' }).click());
  assert.equal(report.name, 'import-report.csv');
  const lines = report.text.trimEnd().split('\r\n');
  assert.equal(lines.length, 60001);
  assert.equal(lines[1001], '1001,1002,,refused,the display name (column 3) is empty');
  if (process.env.SCREENSHOT) await result.screenshot({ path: shot('import-summary.png') });
  assert.deepEqual(pageErrors, []);
});
