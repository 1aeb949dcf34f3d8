// Tarnwell's editor: ten bays, the gains, safety, the meters, the followed tempo and the
// preset library. Parameters come and go through PluginPage; presets, meters, tempo and the
// version travel as arbitrary messages whose tags the plug-in defines. The tags, the effect and
// character names and the factory rows come from the plug-in's vocabulary; the page keeps none.
(function () {
  'use strict';
  const page = window.PluginPage;
  const $ = (id) => document.getElementById(id);

  // Filled from the vocabulary: message tags by name, the plug-in's built-in rows ({id, name},
  // selected by index), a bay's effect and character texts, the bay count, the empty effect.
  const Tag = {};
  let factory = [];
  let effects = [];
  let characters = [];
  let bayCount = 0;
  let emptyEffect = -1;

  const presets = { entries: [], selected: '', current: '' };
  let confirmDelete = '';
  let overwriteName = '';

  function status(text, kind) {
    const line = $('status');
    line.textContent = text;
    line.className = 'status' + (kind ? ' ' + kind : '');
  }

  function formatDb(value) { return (value > 0 ? '+' : '') + value.toFixed(1) + ' dB'; }

  // --- Parameters: the page is built from the list the plug-in sends after every load.

  function buildBays() {
    const rows = [];
    for (let n = 1; n <= bayCount; n++) {
      const index = (field) => page.find('Bay ' + n + ' ' + field);
      const row = document.createElement('div');
      row.className = 'bay';
      row.dataset.bay = String(n);
      row.innerHTML = '<span class="number">' + n + '</span><select class="effect" aria-label="Bay ' + n +
        ' effect"></select><button type="button" class="bay-on">On</button><button type="button" class="bay-solo">Solo</button>' +
        '<select class="character" aria-label="Bay ' + n + ' character"></select><input type="range" class="amount" aria-label="Bay ' +
        n + ' amount"><span class="value amount-value"></span>';
      page.bindSelect(row.querySelector('.effect'), index('Effect'), effects);
      page.bindToggle(row.querySelector('.bay-on'), index('On'));
      page.bindToggle(row.querySelector('.bay-solo'), index('Solo'));
      page.bindSelect(row.querySelector('.character'), index('Character'), characters);
      const amountValue = row.querySelector('.amount-value');
      page.bindSlider(row.querySelector('.amount'), index('Amount'), (v) => { amountValue.textContent = Math.round(v) + '%'; });
      rows.push(row);
    }
    $('bays').replaceChildren(...rows);
    page.on('value', showBayStates);
    showBayStates();
  }

  // Dims what does not sound: an empty or switched-off bay, and every bay but the soloed
  // ones while any enabled bay is soloed.
  function showBayStates() {
    const plain = (n, field) => page.plainValue(page.find('Bay ' + n + ' ' + field));
    let anySolo = false;
    for (let n = 1; n <= bayCount; n++) anySolo = anySolo || (plain(n, 'On') >= 0.5 && plain(n, 'Solo') >= 0.5);
    for (const row of $('bays').children) {
      const n = Number(row.dataset.bay);
      const on = plain(n, 'On') >= 0.5;
      row.classList.toggle('empty', Math.round(plain(n, 'Effect')) === emptyEffect);
      row.classList.toggle('off', !on);
      row.classList.toggle('solo-hidden', anySolo && !(on && plain(n, 'Solo') >= 0.5));
    }
  }

  function buildGlobals() {
    page.bindSlider($('input-gain'), page.find('Input'), (v) => { $('input-gain-value').textContent = formatDb(v); });
    page.bindSlider($('output-gain'), page.find('Output'), (v) => { $('output-gain-value').textContent = formatDb(v); });
    page.bindToggle($('safety'), page.find('Safety'));
  }

  // The vocabulary follows the parameter list and the values at every load.
  page.on('vocabulary', (vocabulary) => {
    Object.assign(Tag, vocabulary.tags);
    factory = Array.isArray(vocabulary.factory) ? vocabulary.factory : [];
    effects = Array.isArray(vocabulary.effects) ? vocabulary.effects : [];
    characters = Array.isArray(vocabulary.characters) ? vocabulary.characters : [];
    bayCount = Number(vocabulary.bays) || 0;
    emptyEffect = Number.isInteger(vocabulary.emptyEffect) ? vocabulary.emptyEffect : -1;
    renderPresets();
    buildBays();
    buildGlobals();
    page.sendMessage(Tag.listPresetsRequest, 0);
  });

  // --- Meters and tempo.

  function peakDb(linear) { return linear > 0 ? 20 * Math.log10(linear) : -Infinity; }
  // -60 dBFS at the left edge, 0 dBFS at the right.
  function peakPercent(linear) { return Math.max(0, Math.min(100, (peakDb(linear) + 60) / 60 * 100)); }
  function dbText(db) { return Number.isFinite(db) ? db.toFixed(1) : '-inf'; }

  function showMeters(outputPeak, reductionDb, inputPeak, outputHold) {
    $('meter-in').querySelector('.fill').style.width = peakPercent(inputPeak) + '%';
    $('meter-in-value').textContent = dbText(peakDb(inputPeak));
    const out = $('meter-out');
    out.querySelector('.fill').style.width = peakPercent(outputPeak) + '%';
    out.querySelector('.fill').style.background = outputPeak >= 1 ? 'var(--bad)' : '';
    out.querySelector('.hold').style.left = 'calc(' + peakPercent(outputHold) + '% - 2px)';
    $('meter-out-value').textContent = dbText(peakDb(outputHold));
    const reduction = Math.max(0, Math.abs(reductionDb));
    $('meter-gr').querySelector('.fill').style.width = Math.min(100, reduction / 24 * 100) + '%';
    $('meter-gr-value').textContent = reduction.toFixed(1);
  }

  function showTempo(bpm, linked) {
    // Unlinked, the rack follows the host's tempo, which the page is not told.
    $('tempo').textContent = linked && bpm > 0 ? bpm.toFixed(1) + ' BPM' : '';
    const source = $('tempo-source');
    source.textContent = linked ? 'linked' : 'host';
    source.classList.toggle('linked', linked);
    source.title = linked ? 'Following Tarnwell Tempo' : 'Following the host';
  }

  // --- Presets.

  function pathOf(id) { return id.slice(id.indexOf(':') + 1); }
  function factoryRow(id) { return factory.findIndex((row) => row.id === id); }
  function isFactory(id) { return factoryRow(id) >= 0; }

  function nameOf(id) {
    const row = factoryRow(id);
    if (row >= 0) return factory[row].name;
    const entry = presets.entries.find((e) => e.id === id);
    if (entry) return entry.name;
    return id ? pathOf(id).replace(/\.json$/, '') : '';
  }

  function renderPresets() {
    const list = $('preset-list');
    const nodes = [];
    const group = (title) => {
      const head = document.createElement('div');
      head.className = 'preset-group';
      head.textContent = title;
      nodes.push(head);
    };
    const row = (id, name, tip) => {
      const item = document.createElement('div');
      item.className = 'preset-row';
      item.setAttribute('role', 'option');
      item.dataset.id = id;
      item.textContent = name;
      item.title = tip || name;
      item.classList.toggle('selected', id === presets.selected);
      item.classList.toggle('current', id === presets.current);
      item.addEventListener('click', () => select(id));
      item.addEventListener('dblclick', () => { select(id); load(); });
      nodes.push(item);
    };
    group('Factory');
    factory.forEach(({ id, name }) => row(id, name));
    const users = presets.entries.filter((e) => e.source !== 'cloud');
    if (users.length) group('User');
    users.forEach((e) => row(e.id, (e.path ? e.path + ' / ' : '') + e.name, e.nameZh ? e.name + ' \u00b7 ' + e.nameZh : ''));
    const packs = [...new Set(presets.entries.filter((e) => e.source === 'cloud').map((e) => e.pack))];
    for (const pack of packs) {
      group('Cloud \u00b7 ' + pack);
      presets.entries.filter((e) => e.source === 'cloud' && e.pack === pack).forEach((e) => row(e.id, e.name));
    }
    list.replaceChildren(...nodes);
    $('current-preset').textContent = nameOf(presets.current);
    const chosen = presets.selected;
    $('load').disabled = !chosen;
    $('export').disabled = !chosen || isFactory(chosen);
    $('delete').disabled = !chosen || !chosen.startsWith('user:');
    $('delete').textContent = confirmDelete && confirmDelete === chosen ? 'Sure?' : 'Delete';
  }

  function select(id) {
    presets.selected = id;
    confirmDelete = '';
    renderPresets();
  }

  function refreshList() { page.sendMessage(Tag.listPresetsRequest, 0); }

  function load() {
    const id = presets.selected;
    if (!id) return;
    if (isFactory(id)) {
      page.sendMessage(Tag.selectFactoryPresetRequest, factoryRow(id));
      status('Loaded ' + nameOf(id), 'done');
    } else {
      page.sendMessage(Tag.loadPresetRequest, 0, pathOf(id));
      status('Loading ' + nameOf(id) + '\u2026');
    }
  }

  function save() {
    const name = $('save-name').value.trim();
    if (!name) {
      status('Give the preset a name first.', 'error');
      $('save-name').focus();
      return;
    }
    const overwrite = overwriteName === name;
    overwriteName = '';
    page.sendMessage(Tag.savePresetRequest, 0, { name: name, path: '', overwrite: overwrite });
    status('Saving ' + name + '\u2026');
  }

  function remove() {
    const id = presets.selected;
    if (!id.startsWith('user:')) return;
    if (confirmDelete !== id) {
      confirmDelete = id;
      status('Click again to delete ' + nameOf(id) + '.');
      renderPresets();
      return;
    }
    confirmDelete = '';
    page.sendMessage(Tag.deletePresetRequest, 0, pathOf(id));
  }

  // --- The import and export dialog.

  let dialogMode = '';
  let importOverwrite = false;

  function openDialog(mode, title, text) {
    dialogMode = mode;
    importOverwrite = false;
    $('dialog-title').textContent = title;
    $('dialog-text').value = text;
    $('dialog-text').readOnly = mode === 'export';
    $('dialog-name').hidden = mode !== 'import';
    $('dialog-name').value = '';
    $('dialog-ok').hidden = mode !== 'import';
    $('dialog-ok').textContent = 'Import';
    document.querySelector('.file-button').hidden = mode !== 'import';
    $('dialog').hidden = false;
    (mode === 'import' ? $('dialog-name') : $('dialog-text')).focus();
    if (mode === 'export') $('dialog-text').select();
  }

  function closeDialog() {
    $('dialog').hidden = true;
    dialogMode = '';
  }

  // A file name of the plug-in's kind: letters, digits, space, dash and underscore.
  function fileNameOf(name) { return name.trim().replace(/[^A-Za-z0-9 _-]+/g, '-').replace(/^[-. ]+|[-. ]+$/g, ''); }

  function importPreset() {
    const name = fileNameOf($('dialog-name').value);
    if (!name) {
      status('Name the imported preset.', 'error');
      return;
    }
    let preset;
    try {
      preset = JSON.parse($('dialog-text').value);
    } catch (error) {
      status('That is not a preset: ' + error.message, 'error');
      return;
    }
    if (!preset || typeof preset !== 'object' || Array.isArray(preset)) {
      status('That is not a preset: it must be a JSON object.', 'error');
      return;
    }
    if (preset.name === undefined) preset.name = $('dialog-name').value.trim();
    page.sendMessage(Tag.importPresetRequest, 0, { kind: 'user', path: name + '.json', json: preset, overwrite: importOverwrite });
    status('Importing ' + name + '\u2026');
  }

  function exportPreset() {
    const id = presets.selected;
    if (!id || isFactory(id)) return;
    page.sendMessage(Tag.exportPresetRequest, 0, { path: pathOf(id) });
  }

  // --- Replies.

  function parse(base64) {
    try { return JSON.parse(page.decodeText(base64)); } catch (error) { return null; }
  }

  function failed(action, reply) {
    status(action + ' failed: ' + ((reply && reply.error) || 'no answer'), 'error');
  }

  page.on('message', (tag, base64) => {
    switch (tag) {
      case Tag.meters: {
        const m = page.decodeFloats(base64);
        if (m.length >= 4) showMeters(m[0], m[1], m[2], m[3]);
        break;
      }
      case Tag.tempoLink: {
        const t = page.decodeFloats(base64);
        if (t.length >= 2) showTempo(t[0], t[1] >= 0.5);
        break;
      }
      case Tag.version: {
        const v = parse(base64);
        if (v && v.version) $('version').textContent = 'v' + v.version;
        break;
      }
      case Tag.listPresetsReply: {
        const reply = parse(base64);
        presets.entries = reply && Array.isArray(reply.presets) ? reply.presets : [];
        renderPresets();
        break;
      }
      case Tag.currentPreset: {
        const reply = parse(base64);
        presets.current = reply && typeof reply.id === 'string' ? reply.id : '';
        if (!presets.selected) presets.selected = presets.current;
        renderPresets();
        break;
      }
      case Tag.savePresetReply: {
        const reply = parse(base64);
        const name = $('save-name').value.trim();
        if (reply && reply.ok) {
          status('Saved ' + name, 'done');
          $('save-name').value = '';
          refreshList();
        } else if (reply && reply.error === 'preset exists') {
          overwriteName = name;
          status(name + ' exists: click Save again to replace it.', 'error');
        } else {
          failed('Save', reply);
        }
        break;
      }
      case Tag.loadPresetReply: {
        const reply = parse(base64);
        if (reply && reply.ok) status('Loaded ' + nameOf(presets.selected), 'done');
        else failed('Load', reply);
        break;
      }
      case Tag.deletePresetReply: {
        const reply = parse(base64);
        if (reply && reply.ok) {
          status('Deleted', 'done');
          presets.selected = '';
          refreshList();
        } else {
          failed('Delete', reply);
        }
        break;
      }
      case Tag.importPresetReply: {
        const reply = parse(base64);
        if (reply && reply.ok) {
          status('Imported ' + fileNameOf($('dialog-name').value), 'done');
          closeDialog();
          refreshList();
        } else if (reply && reply.error === 'preset exists') {
          importOverwrite = true;
          $('dialog-ok').textContent = 'Replace';
          status('A preset of that name exists: click Replace to overwrite it.', 'error');
        } else {
          failed('Import', reply);
        }
        break;
      }
      case Tag.exportPresetReply: {
        const reply = parse(base64);
        if (reply && reply.ok) openDialog('export', 'Export: ' + nameOf(presets.selected), JSON.stringify(reply.json, null, 2));
        else failed('Export', reply);
        break;
      }
      default:
        break;
    }
  });

  // --- Wiring.

  $('load').addEventListener('click', load);
  $('save').addEventListener('click', save);
  $('save-name').addEventListener('keydown', (e) => { if (e.key === 'Enter') save(); });
  $('delete').addEventListener('click', remove);
  $('export').addEventListener('click', exportPreset);
  $('import').addEventListener('click', () => openDialog('import', 'Import a preset (paste its JSON or choose a file)', ''));
  $('dialog-ok').addEventListener('click', () => { if (dialogMode === 'import') importPreset(); });
  $('dialog-close').addEventListener('click', closeDialog);
  $('dialog-file').addEventListener('change', (e) => {
    const file = e.target.files && e.target.files[0];
    if (!file) return;
    if (!$('dialog-name').value) $('dialog-name').value = file.name.replace(/\.json$/i, '');
    file.text().then((text) => { $('dialog-text').value = text; });
  });
  // Keys typed into the dialog are the user's text, not keys for the host (a space there
  // must not start the transport): they stop here, before the page's key forwarding.
  for (const field of [$('dialog-text'), $('dialog-name'), $('save-name')]) {
    for (const kind of ['keydown', 'keyup']) field.addEventListener(kind, (e) => e.stopPropagation());
  }
  document.addEventListener('keydown', (e) => { if (e.key === 'Escape' && dialogMode) closeDialog(); });

  showTempo(0, false);
  renderPresets();
})();
