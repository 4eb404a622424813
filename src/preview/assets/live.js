// Put into every page the preview serves. Takes the edited sheet's text over one
// Server-Sent Events stream and swaps it in without reloading the page: in place of the
// <link> that names the sheet's file, or added at the end of the head where no link
// names it. In Inspect mode (Alt+I in the page, or the editor's toggle) a click reports
// the element's matched rules of the sheet, as the browser itself matches them, to the
// editor; the editor's selected rule is outlined in the page.
(function () {
  'use strict';
  const script = document.currentScript;
  const base = script.dataset.lwBase;
  const sheetName = script.dataset.lwSheet;
  let style = null;
  let outlineStyle = null;
  let inspecting = false;

  function namesSheet(link) {
    try {
      const url = new URL(link.getAttribute('href'), document.baseURI);
      const last = url.pathname.split('/').pop();
      return decodeURIComponent(last) === sheetName;
    } catch (e) {
      return false;
    }
  }

  // The <style> that holds the sheet, made at the first text.
  function sheetElement() {
    if (style && style.isConnected)
      return style;
    style = document.createElement('style');
    style.setAttribute('data-lw-sheet', sheetName);
    const links = Array.from(document.querySelectorAll('link[rel~="stylesheet" i]'));
    const link = links.find(namesSheet);
    if (link) {
      if (link.media)
        style.media = link.media;
      link.replaceWith(style);
    } else {
      (document.head || document.documentElement).appendChild(style);
    }
    return style;
  }

  function outline(selector) {
    if (!outlineStyle || !outlineStyle.isConnected) {
      outlineStyle = document.createElement('style');
      outlineStyle.setAttribute('data-lw-outline', '');
      (document.head || document.documentElement).appendChild(outlineStyle);
    }
    outlineStyle.textContent = '';
    if (!selector)
      return;
    try {
      // Asked of the browser first: a text that is no selector is never put in a rule.
      document.querySelectorAll(selector);
    } catch (e) {
      return;
    }
    outlineStyle.sheet.insertRule(selector +
      ' { outline: 2px dashed #d6246e !important; outline-offset: 1px !important; }');
  }

  // ---- Specificity, as [ids, classes, types] of one complex selector.
  function splitList(text) {
    const parts = [];
    let depth = 0, start = 0, quote = null;
    for (let i = 0; i < text.length; i++) {
      const c = text[i];
      if (c === '\\') { i++; continue; }
      if (quote) { if (c === quote) quote = null; continue; }
      if (c === '"' || c === "'") quote = c;
      else if (c === '(' || c === '[') depth++;
      else if (c === ')' || c === ']') depth--;
      else if (c === ',' && depth === 0) { parts.push(text.slice(start, i).trim()); start = i + 1; }
    }
    parts.push(text.slice(start).trim());
    return parts.filter(p => p.length);
  }

  function maxOf(list) {
    let best = [0, 0, 0];
    for (const s of splitList(list)) {
      const v = specificity(s);
      if (compare(v, best) > 0) best = v;
    }
    return best;
  }

  function compare(a, b) {
    for (let i = 0; i < a.length; i++) {
      if (a[i] !== b[i]) return a[i] < b[i] ? -1 : 1;
    }
    return 0;
  }

  const legacyElements = ['before', 'after', 'first-line', 'first-letter'];

  function specificity(sel) {
    const v = [0, 0, 0];
    let i = 0;
    const ident = () => {
      let start = i;
      while (i < sel.length && (/[\w\-\u00a0-\uffff]/.test(sel[i]) || sel[i] === '\\')) {
        if (sel[i] === '\\') i++;
        i++;
      }
      return sel.slice(start, i);
    };
    const argument = () => {
      let depth = 1, start = i + 1, quote = null;
      i++;
      for (; i < sel.length; i++) {
        const c = sel[i];
        if (c === '\\') { i++; continue; }
        if (quote) { if (c === quote) quote = null; continue; }
        if (c === '"' || c === "'") quote = c;
        else if (c === '(') depth++;
        else if (c === ')' && --depth === 0) break;
      }
      const text = sel.slice(start, i);
      i++;
      return text;
    };
    while (i < sel.length) {
      const c = sel[i];
      if (c === '#') { i++; ident(); v[0]++; }
      else if (c === '.') { i++; ident(); v[1]++; }
      else if (c === '[') {
        let quote = null;
        for (; i < sel.length; i++) {
          const d = sel[i];
          if (d === '\\') { i++; continue; }
          if (quote) { if (d === quote) quote = null; continue; }
          if (d === '"' || d === "'") quote = d;
          else if (d === ']') break;
        }
        i++;
        v[1]++;
      } else if (c === ':' && sel[i + 1] === ':') {
        i += 2; ident();
        if (sel[i] === '(') argument();
        v[2]++;
      } else if (c === ':') {
        i++;
        const name = ident().toLowerCase();
        let arg = null;
        if (sel[i] === '(') arg = argument();
        if (name === 'where') continue;
        if (name === 'is' || name === 'not' || name === 'has' || name === 'matches' || name === '-webkit-any') {
          const s = maxOf(arg || '');
          v[0] += s[0]; v[1] += s[1]; v[2] += s[2];
        } else if ((name === 'nth-child' || name === 'nth-last-child') && arg && / of /i.test(arg)) {
          const s = maxOf(arg.slice(arg.search(/ of /i) + 4));
          v[0] += s[0]; v[1] += s[1] + 1; v[2] += s[2];
        } else if (legacyElements.includes(name)) {
          v[2]++;
        } else {
          v[1]++;
        }
      } else if (c === '*' || c === '&') {
        i++;
      } else if (/[\w\-\u00a0-\uffff\\]/.test(c)) {
        ident();
        if (sel[i] === '|') { i++; if (sel[i] === '*') i++; else ident(); }
        v[2]++;
      } else {
        i++;
      }
    }
    return v;
  }

  // ---- Matching, done by the browser: the sheet's rules walked with their blocks.
  function resolveNested(selector, parent) {
    if (parent === null)
      return selector;
    return splitList(selector).map(part => {
      if (part.includes('&'))
        return part.split('&').join(':is(' + parent + ')');
      return ':is(' + parent + ') ' + part;
    }).join(', ');
  }

  function collect(rules, context, out) {
    for (const rule of rules) {
      if (rule instanceof CSSLayerStatementRule) {
        for (const name of rule.nameList) layerIndex(context.layer, name);
        continue;
      }
      if (rule instanceof CSSMediaRule) {
        if (!window.matchMedia(rule.media.mediaText).matches) continue;
        collect(rule.cssRules, Object.assign({}, context, {
          blocks: context.blocks.concat('@media ' + rule.media.mediaText)}), out);
      } else if (rule instanceof CSSSupportsRule) {
        if (!CSS.supports(rule.conditionText)) continue;
        collect(rule.cssRules, Object.assign({}, context, {
          blocks: context.blocks.concat('@supports ' + rule.conditionText)}), out);
      } else if (rule instanceof CSSLayerBlockRule) {
        const index = layerIndex(context.layer, rule.name || null);
        collect(rule.cssRules, Object.assign({}, context, {
          layer: context.layer.concat(index),
          layerName: context.layerName.concat(rule.name || '(anonymous)'),
          blocks: context.blocks.concat('@layer ' + (rule.name || ''))}), out);
      } else if (rule instanceof CSSStyleRule) {
        const full = resolveNested(rule.selectorText, context.parent);
        out.push({rule, full, context, order: out.length});
        if (rule.cssRules && rule.cssRules.length)
          collect(rule.cssRules, Object.assign({}, context, {parent: full}), out);
      } else if (rule.cssRules) {
        collect(rule.cssRules, context, out);
      }
    }
  }

  // Layers are ordered by their first naming; index paths compare as the cascade does.
  let layerNames = new Map();
  let anonymousLayers = 0;
  function layerIndex(parentPath, name) {
    const key = parentPath.join('.') + '/' + (name === null ? ' anonymous ' + anonymousLayers++ : name);
    if (!layerNames.has(key))
      layerNames.set(key, layerNames.size);
    return layerNames.get(key);
  }

  // Compares two layer paths for normal declarations: unlayered (Infinity at the end)
  // wins over layered; later layers win over earlier.
  function layerCompare(a, b) {
    const n = Math.max(a.length, b.length);
    for (let i = 0; i <= n; i++) {
      const x = i < a.length ? a[i] : Infinity;
      const y = i < b.length ? b[i] : Infinity;
      if (x !== y) return x < y ? -1 : 1;
      if (x === Infinity) return 0;
    }
    return 0;
  }

  function matchedRules(element) {
    const sheet = style && style.sheet;
    if (!sheet) return [];
    layerNames = new Map();
    const all = [];
    collect(sheet.cssRules, {blocks: [], layer: [], layerName: [], parent: null}, all);
    const matched = [];
    for (const entry of all) {
      let best = null;
      for (const part of splitList(entry.full)) {
        let hit = false;
        try { hit = element.matches(part); } catch (e) { hit = false; }
        if (hit) {
          const s = specificity(part);
          if (!best || compare(s, best) > 0) best = s;
        }
      }
      if (best) matched.push(Object.assign(entry, {specificity: best}));
    }
    // Cascade order of normal declarations, the one that wins first.
    matched.sort((a, b) =>
      layerCompare(b.context.layer, a.context.layer) ||
      compare(b.specificity, a.specificity) || b.order - a.order);
    // Each property's winner: !important first (earlier layers win there), then the
    // order above.
    const winner = new Map();
    for (const entry of matched) {
      const s = entry.rule.style;
      for (let i = 0; i < s.length; i++) {
        const name = s.item(i);
        const important = s.getPropertyPriority(name) === 'important';
        const current = winner.get(name);
        if (!current || (important && !current.important) ||
            (important && current.important && layerCompare(entry.context.layer, current.entry.context.layer) < 0))
          winner.set(name, {entry, important});
      }
    }
    return matched.map(entry => {
      const s = entry.rule.style;
      const declarations = [];
      for (let i = 0; i < s.length; i++) {
        const name = s.item(i);
        declarations.push({
          property: name,
          value: s.getPropertyValue(name),
          important: s.getPropertyPriority(name) === 'important',
          overridden: winner.get(name).entry !== entry,
        });
      }
      return {
        selector: entry.rule.selectorText,
        fullSelector: entry.full,
        index: entry.order,
        specificity: entry.specificity,
        layer: entry.context.layerName.join('.'),
        blocks: entry.context.blocks,
        declarations,
      };
    });
  }

  function describe(element) {
    let text = element.localName;
    if (element.id) text += '#' + element.id;
    for (const c of element.classList) text += '.' + c;
    return text;
  }

  function onClick(event) {
    if (!inspecting) return;
    event.preventDefault();
    event.stopPropagation();
    const report = {element: describe(event.target), rules: matchedRules(event.target)};
    window.__loomwrightLastReport = report;
    send(report);
  }

  // The report goes to the editor as GET requests of a few kilobytes each (the server
  // takes nothing but GET and HEAD, and bounds the length of a request line), numbered
  // so that the server can put them together again.
  let reportNumber = 0;
  async function send(report) {
    const text = JSON.stringify(report);
    const size = 4000;
    const count = Math.max(1, Math.ceil(text.length / size));
    const id = ++reportNumber + '-' + Math.random().toString(36).slice(2);
    for (let i = 0; i < count; i++) {
      const part = encodeURIComponent(text.slice(i * size, (i + 1) * size));
      try {
        await fetch(base + 'inspect?id=' + id + '&part=' + i + '&of=' + count + '&data=' + part,
                    {cache: 'no-store'});
      } catch (e) {
        return;
      }
    }
  }

  function setInspect(on) {
    inspecting = on;
    document.documentElement.toggleAttribute('data-lw-inspect', on);
  }

  document.addEventListener('click', onClick, true);
  document.addEventListener('keydown', event => {
    if (event.altKey && !event.ctrlKey && !event.metaKey && (event.key === 'i' || event.key === 'I')) {
      event.preventDefault();
      setInspect(!inspecting);
    }
  }, true);

  const events = new EventSource(base + 'events');
  events.addEventListener('sheet', e => {
    sheetElement().textContent = JSON.parse(e.data).text;
    window.__loomwrightSheets = (window.__loomwrightSheets || 0) + 1;
  });
  events.addEventListener('outline', e => outline(JSON.parse(e.data).selector));
  events.addEventListener('inspect', e => setInspect(JSON.parse(e.data).on));
  window.__loomwright = {matchedRules, specificity, setInspect};
})();
