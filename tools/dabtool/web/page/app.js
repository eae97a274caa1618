// The address book console: a table of entries read page by page from
// /api/contacts, the members of a group from /api/group, forms for the
// export, template, import and restore endpoints, the deletion and undo of
// changes, and the recent activity.
// Everything from the server is put in the page as text, never as markup.
'use strict';

const state = { offset: 0, limit: 50, query: '', matched: 0 };
const $ = (selector) => document.querySelector(selector);

function element(tag, text, className) {
  const node = document.createElement(tag);
  if (text !== undefined) node.textContent = text;
  if (className) node.className = className;
  return node;
}

function showMessage(text) {
  const box = $('#message');
  box.textContent = text;
  box.hidden = !text;
}

// The sentence of an error answer, or a description of one without it.
async function errorOf(response) {
  try {
    const body = await response.json();
    if (body && body.error) return { text: body.error, body };
  } catch (ignored) {
    // Not JSON: fall through.
  }
  return { text: `the server answered ${response.status} ${response.statusText}.`, body: null };
}

async function call(url, options) {
  try {
    return await fetch(url, options);
  } catch (failure) {
    throw new Error('the console could not be reached. Is dabtool serve still running?');
  }
}

// An action's result replaces the one before it, whichever form that was.
function clearResults() {
  for (const box of document.querySelectorAll('.result')) box.replaceChildren();
}

// Runs `work` with the form's button disabled, and shows what failed.
async function busy(form, what, work) {
  const button = form.querySelector('button[type=submit]');
  button.disabled = true;
  showMessage('');
  clearResults();
  try {
    await work();
  } catch (failure) {
    showMessage(`${what} failed: ${failure.message}`);
  } finally {
    button.disabled = false;
  }
}

function fileNameOf(response, fallback) {
  const match = /filename="([^"]+)"/.exec(response.headers.get('Content-Disposition') || '');
  return match ? match[1] : fallback;
}

async function download(response, fallbackName) {
  const blob = await response.blob();
  const url = URL.createObjectURL(blob);
  const link = element('a');
  link.href = url;
  link.download = fileNameOf(response, fallbackName);
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
  return link.download;
}

// --- The table ---

// A button that reads as a link: it opens something on this page.
function linkButton(text, label, onClick) {
  const button = element('button', text, 'link');
  button.type = 'button';
  if (label) button.setAttribute('aria-label', label);
  button.addEventListener('click', onClick);
  return button;
}

function membersText(count) {
  return count === 1 ? '1 member' : `${count} members`;
}

function groupsCell(entry) {
  const cell = element('td');
  if (entry.members !== null) {
    cell.append(linkButton(membersText(entry.members),
      `Open group ${entry.displayName}: ${membersText(entry.members)}`,
      (event) => openGroup(entry.id, event.currentTarget)));
    return cell;
  }
  entry.memberOf.forEach((group, index) => {
    if (index > 0) cell.append(', ');
    const name = group.name || `#${group.id}`;
    cell.append(linkButton(name, `Open group ${name}`,
      (event) => openGroup(group.id, event.currentTarget)));
  });
  return cell;
}

function nameCell(entry) {
  const cell = element('td');
  if (entry.members !== null) {
    cell.append(linkButton(entry.displayName, `Open group ${entry.displayName}`,
      (event) => openGroup(entry.id, event.currentTarget)));
  } else {
    cell.append(entry.displayName);
  }
  return cell;
}

// The columns a narrow table leaves out, together in one cell.
function moreCell(entry) {
  const more = [['Internet fax', entry.internetFax], ['Scan', entry.scan],
    ['Favourite', entry.favourite]].filter(([, value]) => value);
  return element('td', more.map(([name, value]) => `${name}: ${value}`).join(' · '));
}

// Each cell carries its column (class) and label, so a narrow screen can
// fold columns away or show the row as a card.
const COLUMNS = [
  ['c-select', 'Select', selectCell],
  ['c-id', 'Id', (entry) => element('td', String(entry.id))],
  ['c-kind', 'Kind', (entry) => element('td', entry.kind)],
  ['c-name', 'Display name', nameCell],
  ['c-company', 'Company', (entry) => element('td', entry.company)],
  ['c-email', 'E-mail', (entry) => element('td', entry.email)],
  ['c-ifax', 'Internet fax', (entry) => element('td', entry.internetFax)],
  ['c-fax', 'Fax', (entry) => element('td', entry.fax)],
  ['c-scan', 'Scan', (entry) => element('td', entry.scan)],
  ['c-fav', 'Favourite', (entry) => element('td', entry.favourite)],
  ['c-groups', 'Groups', groupsCell],
  ['c-more', 'More', moreCell],
  ['c-delete', 'Delete', deleteCell],
];

function entryRow(entry) {
  const row = element('tr');
  if (entry.kind !== 'contact') row.className = 'group';
  for (const [className, label, cellOf] of COLUMNS) {
    const cell = cellOf(entry);
    cell.classList.add(className);
    cell.dataset.label = label;
    row.append(cell);
  }
  return row;
}

function describeBook(page) {
  const info = $('#book-info');
  if (!page.exists) {
    info.textContent = `${page.database} does not exist yet: import a file to start it.`;
    return;
  }
  const contacts = page.contacts === 1 ? '1 contact' : `${page.contacts} contacts`;
  const groups = page.groups === 1 ? '1 group' : `${page.groups} groups`;
  info.textContent = `${page.database}: ${contacts} and ${groups}.`;
}

function showPage(page) {
  describeBook(page);
  state.matched = page.matched;
  const body = $('#entries tbody');
  selected.clear();
  updateSelection();
  body.replaceChildren(...page.entries.map(entryRow));
  const empty = $('#empty');
  empty.hidden = page.entries.length > 0;
  empty.textContent = page.total === 0 ? 'The address book has no entries.'
    : page.matched === 0 ? `No entry matches “${state.query}”.` : 'No entries on this page.';
  const first = page.matched === 0 ? 0 : page.offset + 1;
  const last = page.offset + page.entries.length;
  const of = state.query ? `${page.matched} matching` : `${page.matched}`;
  $('#range').textContent = `${first}–${last} of ${of}`;
  $('#first').disabled = $('#prev').disabled = page.offset === 0;
  $('#next').disabled = $('#last').disabled = last >= page.matched;
}

async function loadEntries() {
  const query = new URLSearchParams({ offset: state.offset, limit: state.limit, q: state.query });
  try {
    const response = await call(`/api/contacts?${query}`);
    if (!response.ok) throw new Error((await errorOf(response)).text);
    showPage(await response.json());
  } catch (failure) {
    showMessage(`Reading the address book failed: ${failure.message}`);
  }
}

function goTo(offset) {
  const lastPage = Math.max(0, Math.floor((state.matched - 1) / state.limit) * state.limit);
  state.offset = Math.min(Math.max(0, offset), lastPage);
  loadEntries();
}

let searchTimer = null;
function onSearch(event) {
  clearTimeout(searchTimer);
  searchTimer = setTimeout(() => {
    state.query = event.target.value.trim();
    state.offset = 0;
    loadEntries();
  }, 250);
}

// --- Groups ---

const group = { id: 0, offset: 0, limit: 50, matched: 0, opener: null };

function memberRow(entry) {
  const row = element('tr');
  const name = element('td');
  name.append(linkButton(entry.displayName, `Show ${entry.displayName} in the table`, () => {
    $('#search').value = String(entry.id);
    state.query = String(entry.id);
    state.offset = 0;
    loadEntries();
    $('#search').focus();
  }));
  row.append(name, element('td', entry.email), element('td', entry.fax));
  return row;
}

function showGroup(answer) {
  $('#group-title').textContent = `Group: ${answer.name}`;
  $('#group-info').textContent = answer.members === 0 ? 'The group has no members.'
    : `${membersText(answer.members)}, with their e-mail addresses and fax numbers.`;
  $('#group-members tbody').replaceChildren(...answer.entries.map(memberRow));
  group.matched = answer.matched;
  const first = answer.matched === 0 ? 0 : answer.offset + 1;
  const last = answer.offset + answer.entries.length;
  $('#group-range').textContent = `${first}–${last} of ${answer.matched}`;
  $('#group-prev').disabled = answer.offset === 0;
  $('#group-next').disabled = last >= answer.matched;
}

async function loadGroup() {
  const query = new URLSearchParams({ id: group.id, offset: group.offset, limit: group.limit });
  try {
    const response = await call(`/api/group?${query}`);
    if (!response.ok) throw new Error((await errorOf(response)).text);
    showGroup(await response.json());
    return true;
  } catch (failure) {
    showMessage(`Opening the group failed: ${failure.message}`);
    return false;
  }
}

// Shows group `id`'s members and moves the focus there; Close returns it to `opener`.
async function openGroup(id, opener) {
  Object.assign(group, { id, offset: 0, opener });
  showMessage('');
  if (!await loadGroup()) return;
  $('#group-view').hidden = false;
  $('#group-title').focus();
}

function closeGroup() {
  $('#group-view').hidden = true;
  if (group.opener && group.opener.isConnected) group.opener.focus();
  else $('#search').focus();
}

// --- Recent activity: the audit log and this console's own changes ---

function activityItem(record) {
  const item = element('li');
  const time = element('time', new Date(record.at).toLocaleString());
  time.dateTime = record.at;
  item.append(time, ` ${record.event}`);
  if (record.detail) item.append(element('span', `: ${record.detail}`, 'detail'));
  return item;
}

async function loadAudit() {
  const list = $('#audit');
  try {
    const response = await call('/api/activity?limit=10');
    if (!response.ok) throw new Error((await errorOf(response)).text);
    const { records } = await response.json();
    list.replaceChildren(...records.map(activityItem));
    if (records.length === 0) list.replaceChildren(element('li', 'Nothing done yet.', 'quiet'));
  } catch (failure) {
    list.replaceChildren(element('li', `Could not read the activity: ${failure.message}`));
  }
}

// --- Forms ---

function onExport(event) {
  event.preventDefault();
  const form = event.target;
  const params = new URLSearchParams({
    format: form.format.value, delimiter: form.delimiter.value,
  });
  busy(form, 'Export', async () => {
    const response = await call(`/api/export?${params}`, { method: 'POST' });
    if (!response.ok) throw new Error((await errorOf(response)).text);
    const rows = Number(response.headers.get('X-Entry-Count'));
    const name = await download(response, 'ExportedAddressBook.csv');
    const what = form.format.value === 'legacy' ? 'contacts' : 'entries';
    $('#export-result').textContent = `Exported ${rows} ${what} to ${name}.`;
    loadAudit();
  });
}

function onTemplate(event) {
  event.preventDefault();
  const form = event.target;
  const services = [...form.querySelectorAll('input[name=service]:checked')].map((box) => box.value);
  const params = new URLSearchParams({
    services: services.length ? services.join(',') : 'none', delimiter: form.delimiter.value,
  });
  busy(form, 'Template', async () => {
    const response = await call(`/api/template?${params}`);
    if (!response.ok) throw new Error((await errorOf(response)).text);
    await download(response, 'AddressBookSample.csv');
  });
}

function list(items, className) {
  const listNode = element('ul', undefined, className);
  listNode.append(...items.map((item) => element('li', item)));
  return listNode;
}

// The three outcomes an import can have, in words as well as colour.
const OUTCOMES = {
  success: { className: 'ok', word: 'Done' },
  partly: { className: 'partly', word: 'Partly done' },
  failed: { className: 'failed', word: 'Import failed' },
};

// One kind of finding: its sentence, and its records folded away.
function findingGroup(group) {
  const details = element('details', undefined, group.refused ? 'group refused' : 'group');
  details.append(element('summary', `${group.summary}.`));
  const shown = group.records.length;
  const items = [...group.records];
  if (group.count > shown) items.push(`… and ${group.count - shown} more in the report`);
  details.append(list(items, 'records'));
  return details;
}

function showImport(result) {
  const box = $('#import-result');
  const outcome = OUTCOMES[result.outcome] || OUTCOMES.failed;
  box.className = `result ${outcome.className}`;
  const text = result.outcome === 'failed' || result.error ? result.error : result.summary;
  const parts = [element('p', `${outcome.word}: ${text}`, 'summary')];
  if (result.reading) parts.push(element('p', result.reading.sentence));
  if (result.outcome === 'failed' && result.status !== undefined) {
    parts.push(element('p', `Import status ${result.status}: ${result.statusMeaning}.`, 'status'));
  }
  if (result.notRead) parts.push(element('p', `${result.notRead}.`));
  const notes = [...(result.changes || []), ...(result.warnings || [])];
  if (notes.length) parts.push(list(notes, 'notes'));
  parts.push(...(result.groups || []).map(findingGroup));
  if (result.report) {
    const link = element('a', 'Download the report of every record (CSV)');
    link.href = result.report;
    link.download = 'import-report.csv';
    parts.push(element('p', undefined, 'report'));
    parts[parts.length - 1].append(link);
  }
  box.replaceChildren(...parts);
  // The button that started it may be gone with the mapping step.
  box.focus();
}

// Shows the server's count of records read until `running` settles.
function followProgress(running, bar = $('#import-progress')) {
  let settled = false;
  running.finally(() => { settled = true; bar.hidden = true; });
  const poll = async () => {
    if (settled) return;
    try {
      const progress = await (await fetch('/api/import/progress')).json();
      if (!settled && progress.active && progress.total > 0) {
        bar.hidden = false;
        bar.querySelector('progress').max = progress.total;
        bar.querySelector('progress').value = progress.done;
        bar.querySelector('span').textContent =
          `${progress.done.toLocaleString('en')} of ${progress.total.toLocaleString('en')} records`;
      }
    } catch (ignored) {
      // The import's own answer tells what went wrong.
    }
    setTimeout(poll, 250);
  };
  setTimeout(poll, 250);
}

// --- Import, with its mapping step: the file is checked first (a dry run),
// the person sees and may change which column goes to which field, and only
// the Import button of the mapping step changes the book.

const mapping = { file: null, delimiter: '', columns: '' };

function importParams(dryRun) {
  const params = { name: mapping.file.name, dryRun: dryRun ? '1' : '0' };
  if (mapping.delimiter) params.delimiter = mapping.delimiter;
  if (mapping.columns) params.columns = mapping.columns;
  return new URLSearchParams(params);
}

async function sendImport(dryRun) {
  return call(`/api/import?${importParams(dryRun)}`, {
    method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: mapping.file,
  });
}

function columnSelect(reading, field, index) {
  const select = element('select');
  select.name = field.key;
  select.setAttribute('aria-label', `Column for ${field.text}`);
  select.append(new Option('(none)', '-1'));
  reading.columns.forEach((name, column) => {
    select.append(new Option(`${column + 1}: ${name}`, String(column)));
  });
  select.value = String(reading.source[index]);
  select.addEventListener('change', onMappingChange);
  return select;
}

function showMapping(result) {
  const { reading } = result;
  $('#mapping-reading').textContent = reading.sentence;
  $('#mapping-table tbody').replaceChildren(...reading.fields.map((field, index) => {
    const row = element('tr');
    const cell = element('td');
    cell.append(columnSelect(reading, field, index));
    row.append(element('th', field.text), cell);
    return row;
  }));
  $('#mapping-notes').replaceChildren(...reading.notes.map((note) => element('li', `${note}.`)));
  $('#mapping-preview tbody').replaceChildren(...reading.preview.map((fields) => {
    const row = element('tr');
    row.append(...fields.map((value) => element('td', value)));
    return row;
  }));
  // A header row the tool does not know comes back with its columns and no
  // summary: the person picks the columns, and the check runs again.
  $('#mapping-outcome').textContent = result.summary || result.error;
  $('#mapping-import').disabled = !result.summary;
  $('#mapping-step').hidden = false;
  $('#mapping-title').focus();
}

// Every field's column, as the selects say: "first=1,last=,..." with
// 1-based numbers (empty for none), so names with commas cannot confuse it.
function columnsOfSelects() {
  return [...document.querySelectorAll('#mapping-table select')]
    .map((select) => `${select.name}=${select.value === '-1' ? '' : Number(select.value) + 1}`)
    .join(',');
}

async function checkFile() {
  $('#import-result').replaceChildren();
  const response = await sendImport(true);
  if (response.ok) {
    showMapping(await response.json());
    return;
  }
  const failure = await errorOf(response);
  if (failure.body && failure.body.reading && !failure.body.groups) {
    showMapping(failure.body);
    return;
  }
  $('#mapping-step').hidden = true;
  showImport(failure.body || { outcome: 'failed', error: failure.text });
}

function onMappingChange() {
  mapping.columns = columnsOfSelects();
  busy($('#import-form'), 'Check', checkFile);
}

function onImport(event) {
  event.preventDefault();
  const form = event.target;
  const file = form.file.files[0];
  if (!file) return;
  Object.assign(mapping, { file, delimiter: form.delimiter.value, columns: '' });
  busy(form, 'Check', checkFile);
}

function onMappingImport() {
  $('#mapping-step').hidden = true;
  busy($('#import-form'), 'Import', async () => {
    const sent = sendImport(false);
    followProgress(sent);
    const response = await sent;
    loadAudit();
    if (response.ok) {
      const result = await response.json();
      showImport(result);
      loadChanges();
      if (result.saved) {
        // The new contacts come last: show them.
        state.query = '';
        $('#search').value = '';
        state.matched = result.entriesAfter;
        goTo(result.entriesAfter - 1);
      }
      return;
    }
    const failure = await errorOf(response);
    showImport(failure.body || { outcome: 'failed', error: failure.text });
    loadEntries();
  });
}

// --- Deleting, undoing and restoring ---

// The entries ticked on the page, by id: what "Delete selected" removes.
const selected = new Map();

function updateSelection() {
  const button = $('#delete-selected');
  button.disabled = selected.size === 0;
  button.textContent = selected.size ? `Delete selected (${selected.size})` : 'Delete selected';
}

function selectCell(entry) {
  const box = element('input');
  box.type = 'checkbox';
  box.setAttribute('aria-label', `Select ${entry.displayName}`);
  box.addEventListener('change', () => {
    if (box.checked) selected.set(entry.id, entry); else selected.delete(entry.id);
    updateSelection();
  });
  const cell = element('td');
  cell.append(box);
  return cell;
}

function deleteCell(entry) {
  const button = element('button', 'Delete', 'delete');
  button.type = 'button';
  button.setAttribute('aria-label', `Delete ${entry.displayName}`);
  button.addEventListener('click', () => deleteEntries([entry]));
  const cell = element('td');
  cell.append(button);
  return cell;
}

// "Anna (contact 3)" for one entry; the kinds and the first names for more.
function whatGoes(entries) {
  if (entries.length === 1) return `${entries[0].displayName} (${entries[0].kind} ${entries[0].id})`;
  const names = entries.slice(0, 5).map((entry) => entry.displayName).join(', ');
  const more = entries.length > 5 ? ` and ${entries.length - 5} more` : '';
  return `${entries.length} entries: ${names}${more}`;
}

async function deleteEntries(entries) {
  const groups = entries.filter((entry) => entry.kind !== 'contact').length;
  const memberships = groups ? ' Their members stay, without these groups.' : '';
  if (!window.confirm(`Delete ${whatGoes(entries)}?${memberships}`)) return;
  showMessage('');
  const ids = entries.map((entry) => entry.id).join(',');
  try {
    const response = await call(`/api/delete?ids=${ids}`, { method: 'POST' });
    if (!response.ok) throw new Error((await errorOf(response)).text);
    showMessage((await response.json()).summary);
  } catch (failure) {
    showMessage(`Delete failed: ${failure.message}`);
  }
  loadEntries();
  loadChanges();
}

function showChanges(changes) {
  $('#last-change').textContent = changes.last ? `Last: ${changes.last.change}.` : 'No change to undo.';
  $('#undo').disabled = !changes.last;
  $('#kept-changes').textContent = changes.keptText;
}

async function loadChanges() {
  try {
    const response = await call('/api/changes');
    if (!response.ok) throw new Error((await errorOf(response)).text);
    showChanges(await response.json());
  } catch (failure) {
    $('#last-change').textContent = `Could not read the kept changes: ${failure.message}`;
  }
}

async function onUndo() {
  const button = $('#undo');
  button.disabled = true;
  showMessage('');
  try {
    const response = await call('/api/undo', { method: 'POST' });
    if (!response.ok) throw new Error((await errorOf(response)).text);
    const answer = await response.json();
    showMessage(answer.summary);
    showChanges(answer);
  } catch (failure) {
    showMessage(`Undo failed: ${failure.message}`);
    loadChanges();
  }
  loadEntries();
}

function onRestore(event) {
  event.preventDefault();
  const form = event.target;
  const file = form.file.files[0];
  if (!file) return;
  const params = new URLSearchParams({ name: file.name, merge: form.merge.checked ? '1' : '0' });
  const box = $('#restore-result');
  box.replaceChildren();
  busy(form, 'Restore', async () => {
    const sent = call(`/api/restore?${params}`, {
      method: 'POST', headers: { 'Content-Type': 'application/octet-stream' }, body: file,
    });
    followProgress(sent, $('#restore-progress'));
    const response = await sent;
    const ok = response.ok;
    const result = ok ? await response.json() : (await errorOf(response)).body || {};
    box.className = ok ? 'result ok' : 'result failed';
    const text = ok ? result.summary : `Restore failed: ${result.error || response.statusText}`;
    const parts = [element('p', text, 'summary')];
    const items = ok ? result.notes : result.problems;
    if (items && items.length) parts.push(list(items, ok ? 'notes' : 'findings'));
    box.replaceChildren(...parts);
    loadEntries();
    loadChanges();
  });
}

function start() {
  $('#search').addEventListener('input', onSearch);
  $('#page-size').addEventListener('change', (event) => {
    state.limit = Number(event.target.value);
    state.offset = 0;
    loadEntries();
  });
  $('#first').addEventListener('click', () => goTo(0));
  $('#prev').addEventListener('click', () => goTo(state.offset - state.limit));
  $('#next').addEventListener('click', () => goTo(state.offset + state.limit));
  $('#last').addEventListener('click', () => goTo(state.matched));
  $('#export-form').addEventListener('submit', onExport);
  $('#template-form').addEventListener('submit', onTemplate);
  $('#import-form').addEventListener('submit', onImport);
  $('#mapping-import').addEventListener('click', onMappingImport);
  $('#restore-form').addEventListener('submit', onRestore);
  $('#undo').addEventListener('click', onUndo);
  $('#delete-selected').addEventListener('click', () => deleteEntries([...selected.values()]));
  $('#group-close').addEventListener('click', closeGroup);
  $('#group-view').addEventListener('keydown', (event) => {
    if (event.key === 'Escape') closeGroup();
  });
  $('#group-prev').addEventListener('click', () => {
    group.offset = Math.max(0, group.offset - group.limit);
    loadGroup();
  });
  $('#group-next').addEventListener('click', () => {
    group.offset += group.limit;
    loadGroup();
  });
  $('#mapping-cancel').addEventListener('click', () => {
    $('#mapping-step').hidden = true;
    $('#import-form').file.focus();
  });
  loadEntries();
  loadAudit();
  loadChanges();
}

start();
