// The page side of the plug-in protocol, shared by the three editors. The plug-in calls the
// global functions SPVFD, SCVFD, SCMFD, SAMFD and SMMFD; the page answers through the
// injected IPluginSendMsg. After every load the plug-in sends its parameter list (message tag
// -1), then every value, then, if it has one, its vocabulary (tag -2): an object of its own
// naming its message tags and the lists its page shows, so that a page keeps no copy of them.
// Nothing here reaches the network.
(function () {
  'use strict';

  const kParamListTag = -1;
  const kVocabularyTag = -2;
  const handlers = { params: [], vocabulary: [], value: [], message: [], controlValue: [], controlMessage: [], midi: [] };
  const page = {
    params: [],   // the plug-in's parameter descriptions, in index order
    values: [],   // normalised values 0..1, by index
    vocabulary: null,

    on(kind, handler) { handlers[kind].push(handler); },

    post(message) {
      if (typeof IPluginSendMsg === 'function') IPluginSendMsg(message);
    },

    // Index of the parameter with that name, -1 when there is none.
    find(name) { return page.params.findIndex((p) => p.name === name); },

    plain(index, normalised) {
      const p = page.params[index];
      return p ? p.min + normalised * (p.max - p.min) : normalised;
    },
    normalised(index, plain) {
      const p = page.params[index];
      if (!p || p.max === p.min) return 0;
      return Math.min(1, Math.max(0, (plain - p.min) / (p.max - p.min)));
    },
    plainValue(index) { return page.plain(index, page.values[index] || 0); },

    // Sets a parameter from the page, plain value in its own range; the page shows it at
    // once and the plug-in echoes nothing back.
    setPlain(index, plain) { page.setNormalised(index, page.normalised(index, plain)); },
    setNormalised(index, normalised) {
      if (index < 0) return;
      page.values[index] = normalised;
      page.post({ msg: 'SPVFUI', paramIdx: index, value: normalised });
      handlers.value.forEach((h) => h(index, normalised, true));
    },
    beginGesture(index) { if (index >= 0) page.post({ msg: 'BPCFUI', paramIdx: index }); },
    endGesture(index) { if (index >= 0) page.post({ msg: 'EPCFUI', paramIdx: index }); },

    // An arbitrary message to the plug-in; payload is a text (sent as UTF-8), an object (sent
    // as its JSON text) or nothing. A tag that is not a whole number (one the vocabulary has
    // not named yet) sends nothing.
    sendMessage(msgTag, ctrlTag, payload) {
      if (!Number.isInteger(msgTag)) return;
      const message = { msg: 'SAMFUI', msgTag: msgTag, ctrlTag: ctrlTag };
      if (payload !== undefined && payload !== null) {
        message.data = page.encodeText(typeof payload === 'string' ? payload : JSON.stringify(payload));
      }
      page.post(message);
    },

    encodeText(text) {
      const bytes = new TextEncoder().encode(text);
      let binary = '';
      for (let i = 0; i < bytes.length; i++) binary += String.fromCharCode(bytes[i]);
      return btoa(binary);
    },
    decodeBytes(base64) {
      const binary = atob(base64 || '');
      const bytes = new Uint8Array(binary.length);
      for (let i = 0; i < binary.length; i++) bytes[i] = binary.charCodeAt(i);
      return bytes;
    },
    decodeText(base64) { return new TextDecoder().decode(page.decodeBytes(base64)); },
    // Little-endian float32 values of a binary payload.
    decodeFloats(base64) {
      const bytes = page.decodeBytes(base64);
      const view = new DataView(bytes.buffer);
      const floats = [];
      for (let offset = 0; offset + 4 <= bytes.length; offset += 4) floats.push(view.getFloat32(offset, true));
      return floats;
    },
  };

  function report(error) {
    if (window.console) console.error(error);
  }

  function each(list, ...args) {
    for (const handler of list) {
      try { handler(...args); } catch (error) { report(error); }
    }
  }

  window.SPVFD = function (index, normalised) {
    page.values[index] = normalised;
    each(handlers.value, index, normalised, false);
  };
  window.SCVFD = function (ctrlTag, value) { each(handlers.controlValue, ctrlTag, value); };
  window.SCMFD = function (ctrlTag, msgTag, size, base64) {
    each(handlers.controlMessage, ctrlTag, msgTag, page.decodeBytes(base64).slice(0, size));
  };
  window.SMMFD = function (status, data1, data2) { each(handlers.midi, status, data1, data2); };
  // The JSON object of a payload, or null.
  function parseObject(base64) {
    let value = null;
    try { value = JSON.parse(page.decodeText(base64)); } catch (error) { report(error); }
    return value && typeof value === 'object' && !Array.isArray(value) ? value : null;
  }

  window.SAMFD = function (msgTag, length, base64) {
    if (msgTag === kParamListTag) {
      const list = parseObject(base64);
      if (!list || !Array.isArray(list.params)) return;
      page.params = list.params;
      page.values = list.params.map((p) => page.normalised(p.id, p.default));
      each(handlers.params, page.params);
      return;
    }
    if (msgTag === kVocabularyTag) {
      const vocabulary = parseObject(base64);
      if (!vocabulary) return;
      page.vocabulary = vocabulary;
      each(handlers.vocabulary, vocabulary);
      return;
    }
    each(handlers.message, msgTag, base64);
  };

  // --- Controls bound to parameters. Each follows the plug-in's values and sends the
  // user's changes; a gesture brackets every drag so that the host records one edit.

  page.bindSlider = function (input, index, show) {
    input.min = 0;
    input.max = 1;
    input.step = 'any';
    const p = page.params[index];
    if (p && p.type !== 'double') input.step = 1 / Math.max(1, p.max - p.min);
    let dragging = false;
    input.addEventListener('pointerdown', () => { dragging = true; page.beginGesture(index); });
    const end = () => { if (dragging) { dragging = false; page.endGesture(index); } };
    input.addEventListener('pointerup', end);
    input.addEventListener('change', end);
    input.addEventListener('input', () => page.setNormalised(index, Number(input.value)));
    const update = (i, normalised) => {
      if (i !== index) return;
      input.value = normalised;
      input.style.setProperty('--fill', (normalised * 100).toFixed(2) + '%');
      if (show) show(page.plain(index, normalised));
    };
    page.on('value', update);
    update(index, page.values[index] || 0);
  };

  page.bindToggle = function (button, index) {
    button.setAttribute('role', 'switch');
    button.addEventListener('click', () => page.setNormalised(index, page.plainValue(index) >= 0.5 ? 0 : 1));
    const update = (i) => {
      if (i !== index) return;
      const on = page.plainValue(index) >= 0.5;
      button.classList.toggle('on', on);
      button.setAttribute('aria-checked', on ? 'true' : 'false');
    };
    page.on('value', update);
    update(index);
  };

  // A choice shown as a select, option i standing for the plain value i.
  page.bindSelect = function (select, index, texts) {
    select.replaceChildren(...texts.map((text, i) => new Option(text, String(i))));
    select.addEventListener('change', () => page.setPlain(index, Number(select.value)));
    const update = (i) => {
      if (i === index) select.value = String(Math.round(page.plainValue(index)));
    };
    page.on('value', update);
    update(index);
  };

  // A choice shown as a row of buttons.
  page.bindSegments = function (container, index, texts) {
    const buttons = texts.map((text, i) => {
      const button = document.createElement('button');
      button.type = 'button';
      button.textContent = text;
      button.addEventListener('click', () => page.setPlain(index, i));
      return button;
    });
    container.replaceChildren(...buttons);
    const update = (i) => {
      if (i !== index) return;
      const chosen = Math.round(page.plainValue(index));
      buttons.forEach((b, n) => b.classList.toggle('on', n === chosen));
    };
    page.on('value', update);
    update(index);
  };

  window.PluginPage = page;
})();
