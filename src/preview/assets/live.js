// Put into every page the preview serves. Takes the edited sheet's text over one
// Server-Sent Events stream and swaps it in without reloading the page: in place of the
// <link> that names the sheet's file, or added at the end of the head where no link
// names it. In Inspect mode (Alt+Shift+I in the page, the toggle in its corner, or the
// editor's Inspect) a click reports the element's matched rules of the sheet, as the
// browser itself matches them, to the editor; the elements the editor's selected rule
// matches are outlined over the page.
(function () {
  'use strict';
  const script = document.currentScript;
  const base = script.dataset.lwBase;
  const sheetName = script.dataset.lwSheet;
  let style = null;
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
  // A nested rule's selector, resolved against its parent's as the browser resolves it:
  // "&" stands for the parent (as :is(parent), which also gives the nesting's
  // specificity); a selector without "&" is relative to the parent, as a descendant.
  function resolveNested(selector, parent) {
    if (parent === null)
      return selector;
    return splitList(selector).map(part => {
      if (part.includes('&'))
        return part.split('&').join(':is(' + parent + ')');
      return ':is(' + parent + ') ' + part;
    }).join(', ');
  }

  // What the editor needs to find a rule among its nodes: the kind of each rule on the
  // way (an at-rule's name, or "rule") with its text and how many of the same came
  // before it. Declarations that follow nested
  // rules come as rules of their own in the CSSOM but belong to their parent rule in
  // the sheet's text: they are passed over in the positions.
  function ruleKind(rule) {
    if (rule instanceof CSSStyleRule) return 'rule';
    if (rule instanceof CSSMediaRule) return 'media';
    if (rule instanceof CSSSupportsRule) return 'supports';
    if (rule instanceof CSSLayerBlockRule || rule instanceof CSSLayerStatementRule) return 'layer';
    if (rule instanceof CSSImportRule) return 'import';
    if (rule instanceof CSSFontFaceRule) return 'font-face';
    if (rule instanceof CSSKeyframesRule) return 'keyframes';
    if (rule instanceof CSSPageRule) return 'page';
    if (rule instanceof CSSNamespaceRule) return 'namespace';
    if (typeof CSSContainerRule !== 'undefined' && rule instanceof CSSContainerRule) return 'container';
    if (typeof CSSScopeRule !== 'undefined' && rule instanceof CSSScopeRule) return 'scope';
    if (typeof CSSPropertyRule !== 'undefined' && rule instanceof CSSPropertyRule) return 'property';
    if (typeof CSSStartingStyleRule !== 'undefined' && rule instanceof CSSStartingStyleRule) return 'starting-style';
    if (typeof CSSCounterStyleRule !== 'undefined' && rule instanceof CSSCounterStyleRule) return 'counter-style';
    return '';
  }

  function isNestedDeclarations(rule) {
    return typeof CSSNestedDeclarations !== 'undefined' && rule instanceof CSSNestedDeclarations;
  }

  // Layers are ordered by their first naming, wherever it stands; a dotted name is a
  // layer inside a layer. The index of each is its place in that order, so that paths
  // of indexes compare as the cascade orders layers.
  let layerNames = new Map();
  let anonymousLayers = 0;
  function layerPath(parentPath, name) {
    let path = parentPath;
    const parts = name === null ? [null] : name.split('.');
    for (const part of parts) {
      const key = path.join('.') + '/' + (part === null ? ' anonymous ' + anonymousLayers++ : part);
      if (!layerNames.has(key))
        layerNames.set(key, layerNames.size);
      path = path.concat(layerNames.get(key));
    }
    return path;
  }

  function collect(rules, context, out) {
    let position = 0;
    const seen = new Map();
    for (const rule of rules) {
      if (isNestedDeclarations(rule)) {
        // Declarations after nested rules: they apply with the parent's selector, later
        // in the order than the parent's first declarations.
        if (context.parentRule)
          out.push(Object.assign({}, context.parentRule, {rule, order: out.length}));
        continue;
      }
      const kind = ruleKind(rule);
      const text = rule instanceof CSSStyleRule ? rule.selectorText
        : rule instanceof CSSLayerStatementRule ? Array.from(rule.nameList).join(', ')
        : rule.conditionText !== undefined ? rule.conditionText
        : rule.name !== undefined ? rule.name : '';
      // How many rules of the same kind and text come before it at this level: rules
      // the browser drops are dropped for their text, so this count holds in the sheet's
      // text too, where the position may not.
      const key = kind + '\n' + text;
      const occurrence = seen.get(key) || 0;
      seen.set(key, occurrence + 1);
      const chain = context.chain.concat({index: position++, occurrence, kind, text});
      if (rule instanceof CSSLayerStatementRule) {
        for (const name of rule.nameList) layerPath(context.layer, name);
      } else if (rule instanceof CSSMediaRule) {
        if (!window.matchMedia(rule.conditionText || rule.media.mediaText).matches) continue;
        collect(rule.cssRules, Object.assign({}, context, {
          chain, blocks: context.blocks.concat('@media ' + rule.media.mediaText)}), out);
      } else if (rule instanceof CSSSupportsRule) {
        if (!CSS.supports(rule.conditionText)) continue;
        collect(rule.cssRules, Object.assign({}, context, {
          chain, blocks: context.blocks.concat('@supports ' + rule.conditionText)}), out);
      } else if (rule instanceof CSSLayerBlockRule) {
        collect(rule.cssRules, Object.assign({}, context, {
          chain, layer: layerPath(context.layer, rule.name || null),
          layerName: context.layerName.concat(rule.name || '(anonymous)'),
          blocks: context.blocks.concat('@layer' + (rule.name ? ' ' + rule.name : ''))}), out);
      } else if (rule instanceof CSSStyleRule) {
        const full = resolveNested(rule.selectorText, context.parent);
        const entry = {rule, full, chain, context, order: out.length};
        out.push(entry);
        if (rule.cssRules && rule.cssRules.length)
          collect(rule.cssRules, Object.assign({}, context, {chain, parent: full, parentRule: entry}), out);
      } else if (ruleKind(rule) === 'starting-style' || ruleKind(rule) === 'scope' ||
                 ruleKind(rule) === 'container') {
        // Blocks whose condition a page script cannot ask the browser about (a
        // container's size, the state before a transition, a scope's bounds) are left
        // out rather than guessed.
        continue;
      }
    }
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

  function declarationsOf(style) {
    const list = [];
    for (let i = 0; i < style.length; i++) {
      const name = style.item(i);
      list.push({property: name, value: style.getPropertyValue(name),
                 important: style.getPropertyPriority(name) === 'important'});
    }
    return list;
  }

  // The rules of the pushed sheet that apply to `element`, in cascade order (the one
  // that wins first), each declaration marked when another one wins its property.
  function matchedRules(element) {
    const sheet = style && style.sheet;
    if (!sheet) return [];
    layerNames = new Map();
    anonymousLayers = 0;
    const all = [];
    collect(sheet.cssRules, {blocks: [], layer: [], layerName: [], parent: null, parentRule: null, chain: []}, all);
    const matched = [];
    const specificityOf = new Map();
    for (const entry of all) {
      if (!specificityOf.has(entry.full)) {
        let best = null;
        for (const part of splitList(entry.full)) {
          let hit = false;
          try { hit = element.matches(part); } catch (e) { hit = false; }
          if (hit) {
            const s = specificity(part);
            if (!best || compare(s, best) > 0) best = s;
          }
        }
        specificityOf.set(entry.full, best);
      }
      const best = specificityOf.get(entry.full);
      if (best) matched.push(Object.assign({}, entry, {specificity: best, declarations: declarationsOf(entry.rule.style)}));
    }
    // Cascade order of normal declarations, the winner first: layers (unlayered last
    // in the order, so first here), specificity, order of appearance.
    matched.sort((a, b) =>
      layerCompare(b.context.layer, a.context.layer) ||
      compare(b.specificity, a.specificity) || b.order - a.order);
    // Each property's winner: an !important declaration wins over normal ones, and
    // among !important ones the earlier layer wins (layered over unlayered).
    const winner = new Map();
    for (const entry of matched) {
      for (const d of entry.declarations) {
        const current = winner.get(d.property);
        if (!current || (d.important && !current.important) ||
            (d.important && current.important && layerCompare(entry.context.layer, current.entry.context.layer) < 0))
          winner.set(d.property, {entry, important: d.important});
      }
    }
    return matched.map(entry => ({
      selector: entry.rule.selectorText !== undefined ? entry.rule.selectorText : entry.chain[entry.chain.length - 1].text,
      fullSelector: entry.full,
      path: entry.chain.map(step => step.index),
      chain: entry.chain.map(step => ({kind: step.kind, text: step.text, occurrence: step.occurrence})),
      specificity: entry.specificity,
      layer: entry.context.layerName.join('.'),
      blocks: entry.context.blocks,
      declarations: entry.declarations.map(d => Object.assign(d, {overridden: winner.get(d.property).entry !== entry})),
    }));
  }

  // ---- The outline of the elements the editor's selected rule matches: boxes drawn
  // over the page in a layer of their own, so that the page's own styles are untouched.
  let overlay = null;
  let outlined = '';
  function drawOutline() {
    if (overlay) overlay.remove();
    overlay = null;
    if (!outlined) return;
    let elements;
    try {
      elements = document.querySelectorAll(outlined);
    } catch (e) {
      return;
    }
    overlay = document.createElement('loomwright-outline');
    overlay.setAttribute('aria-hidden', 'true');
    const root = overlay.attachShadow({mode: 'open'});
    const limit = 1000;
    for (let i = 0; i < elements.length && i < limit; i++) {
      const r = elements[i].getBoundingClientRect();
      if (!r.width && !r.height) continue;
      const box = document.createElement('div');
      box.style.cssText = 'position:absolute;pointer-events:none;box-sizing:border-box;' +
        'border:2px dashed #d6246e;background:rgba(214,36,110,0.08);' +
        `left:${r.left + window.scrollX}px;top:${r.top + window.scrollY}px;width:${r.width}px;height:${r.height}px`;
      root.appendChild(box);
    }
    overlay.style.cssText = 'all:initial;position:absolute;left:0;top:0;width:0;height:0;' +
      'pointer-events:none;z-index:2147483647;display:block';
    document.documentElement.appendChild(overlay);
    window.__loomwrightOutlined = Math.min(elements.length, limit);
  }
  function outline(selector) {
    outlined = selector || '';
    window.__loomwrightOutlined = 0;
    drawOutline();
  }
  window.addEventListener('resize', () => { if (outlined) drawOutline(); });

  function describe(element) {
    let text = element.localName;
    if (element.id) text += '#' + element.id;
    for (const c of element.classList) text += '.' + c;
    return text;
  }

  // The toggle in the page's corner: in a shadow root of its own, so that neither the
  // page's styles nor the edited sheet's reach into it.
  let toggle = null;
  function showToggle() {
    if (toggle && toggle.isConnected) return toggle;
    toggle = document.createElement('loomwright-inspect');
    toggle.style.cssText = 'all:initial;position:fixed;right:8px;bottom:8px;z-index:2147483647;display:block';
    const root = toggle.attachShadow({mode: 'open'});
    const button = document.createElement('button');
    button.type = 'button';
    button.title = 'Inspect: click an element to find its rules in the editor (Alt+Shift+I)';
    button.textContent = 'Inspect';
    button.style.cssText = 'font:12px sans-serif;padding:3px 8px;border:1px solid #888;border-radius:4px;' +
      'background:#fff;color:#222;cursor:pointer;opacity:0.85';
    button.addEventListener('click', event => {
      event.stopPropagation();
      setInspect(!inspecting);
    });
    root.appendChild(button);
    (document.body || document.documentElement).appendChild(toggle);
    return toggle;
  }

  function onClick(event) {
    if (!inspecting) return;
    // The toggle and the outline are the preview's own, not the page's.
    if (event.target === toggle || event.target === overlay) return;
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
    const button = showToggle().shadowRoot.querySelector('button');
    button.style.background = on ? '#d6246e' : '#fff';
    button.style.color = on ? '#fff' : '#222';
    button.setAttribute('aria-pressed', on ? 'true' : 'false');
  }

  document.addEventListener('click', onClick, true);
  document.addEventListener('keydown', event => {
    if (event.altKey && event.shiftKey && !event.ctrlKey && !event.metaKey && event.code === 'KeyI') {
      event.preventDefault();
      setInspect(!inspecting);
    }
  }, true);
  if (document.readyState === 'loading')
    document.addEventListener('DOMContentLoaded', showToggle);
  else
    showToggle();

  const events = new EventSource(base + 'events');
  events.addEventListener('sheet', e => {
    sheetElement().textContent = JSON.parse(e.data).text;
    window.__loomwrightSheets = (window.__loomwrightSheets || 0) + 1;
    if (outlined) drawOutline();
  });
  events.addEventListener('outline', e => outline(JSON.parse(e.data).selector));
  events.addEventListener('inspect', e => setInspect(JSON.parse(e.data).on));
  window.__loomwright = {matchedRules, specificity, setInspect, get inspecting() { return inspecting; }};
})();
