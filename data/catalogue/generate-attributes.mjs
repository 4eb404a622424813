// Writes attributes.csv (Attribute,Values) from the npm package mdn-data (CC0-1.0):
// every standard or experimental CSS property without a vendor prefix, with the kind
// of value the editor offers for it, then the hand-kept corrections of overrides.csv.
//
//   node generate-attributes.mjs <node_modules folder> <overrides.csv> > attributes.csv
//
// The kind comes from the property's value syntax, with named types and other
// properties' syntaxes expanded:
//   font-family                                     -> <Font>
//   allows a colour (and no length or image)        -> <Color>
//   allows an image or URL (and no free-form text)  -> <URL>
//   allows a length, percentage, number, integer,
//   time, angle, resolution or flex                 -> <Number>
//   keywords only                                   -> the keywords, one per line, in syntax order
//   anything else (mixed shorthands, free text)     -> empty
// CSS-wide keywords (inherit, initial, unset, revert) are not listed.

import fs from 'node:fs';
import path from 'node:path';

const modules = path.resolve(process.argv[2] ?? 'node_modules');
const overridesFile = process.argv[3];
const load = (name) => JSON.parse(fs.readFileSync(path.join(modules, 'mdn-data', 'css', name), 'utf8'));
const properties = load('properties.json');
const syntaxes = load('syntaxes.json');

// Types that stand for one kind of value and are not expanded further.
const leafTypes = new Map([
  ['color', 'color'],
  ['url', 'url'], ['image', 'url'],
  ['length', 'number'], ['percentage', 'number'], ['length-percentage', 'number'],
  ['number', 'number'], ['integer', 'number'], ['time', 'number'], ['time-percentage', 'number'],
  ['angle', 'number'], ['angle-percentage', 'number'], ['resolution', 'number'], ['flex', 'number'],
  ['dimension', 'number'], ['frequency', 'number'], ['frequency-percentage', 'number'],
  ['string', 'free'], ['dashed-ident', 'free'], ['ident', 'free'],
  // A name of the user's own choosing, given in place of a number or a keyword.
  ['custom-ident', 'name'],
]);

// Splits a value definition into tokens: keywords, <types>, <'properties'>, functions
// (whose arguments are skipped: what a function takes is not offered as a word),
// brackets, combinators and multipliers.
function tokenize(syntax) {
  const result = [];
  const re = /<'([^'>]+)'>|<([a-zA-Z0-9-]+\(\))>|<([a-zA-Z0-9-]+)(?:\s*\[[^\]]*\])?>|([a-zA-Z][a-zA-Z0-9-]*)\(|([a-zA-Z_][a-zA-Z0-9_-]*)|(\|\||&&|\||\[|\]|#|\?|\*|\+|!)|\{(\d+)(?:,(\d*))?\}|(\S)/g;
  let m;
  while ((m = re.exec(syntax)) !== null) {
    if (m[1]) result.push({ kind: 'property', name: m[1] });
    else if (m[2]) result.push({ kind: 'function', name: m[2] });
    else if (m[3]) result.push({ kind: 'type', name: m[3] });
    else if (m[4]) {
      let depth = 1;
      let i = re.lastIndex;
      while (i < syntax.length && depth > 0) {
        if (syntax[i] === '(') ++depth;
        else if (syntax[i] === ')') --depth;
        ++i;
      }
      re.lastIndex = i;
      result.push({ kind: 'function', name: `${m[4]}()` });
    } else if (m[5]) result.push({ kind: 'keyword', name: m[5] });
    else if (m[6]) result.push({ kind: m[6] });
    else if (m[7] !== undefined) result.push({ kind: '{}', min: Number(m[7]) });
    // Other punctuation ("/", ",") separates parts of a value and adds nothing here.
  }
  return result;
}

// What a piece of syntax allows: the value categories it needs (color, url, number,
// free), its keywords in order, and whether it joins values of different categories
// into one (a shorthand such as "width || style || color"), which no single value
// editor can write.
const empty = () => ({ kinds: new Set(), keywords: [], mixed: false });

function merge(into, from) {
  for (const kind of from.kinds) into.kinds.add(kind);
  for (const keyword of from.keywords) if (!into.keywords.includes(keyword)) into.keywords.push(keyword);
  into.mixed ||= from.mixed;
}

// Several components that are given together: categories that differ make it mixed.
// An optional single value (such as the colour in "<color>? && <length>{2}") adds no
// kind of its own, but still shows that the whole joins values of different kinds.
function combine(parts, optionalKinds = new Set()) {
  const result = empty();
  const categories = new Set(optionalKinds);
  for (const part of parts) {
    merge(result, part);
    for (const kind of part.kinds) categories.add(kind);
  }
  categories.delete('function');
  categories.delete('name');
  if (categories.size > 1) result.mixed = true;
  return result;
}

class Parser {
  constructor(syntax, seen) {
    this.tokens = tokenize(syntax);
    this.pos = 0;
    this.seen = seen;
    // Inside a group marked "!" at least one component must be given, so none of its
    // components is left out as optional.
    this.keepOptional = 0;
  }

  peek() { return this.tokens[this.pos]; }

  // Alternatives "a | b": the union of what each allows.
  alternatives() {
    const result = empty();
    merge(result, this.anyOrder());
    while (this.peek()?.kind === '|') {
      ++this.pos;
      merge(result, this.anyOrder());
    }
    return result;
  }

  // "a || b" and "a && b": components given together.
  anyOrder() {
    const optionalKinds = new Set();
    const parts = [this.sequence(optionalKinds)];
    while (this.peek()?.kind === '||' || this.peek()?.kind === '&&') {
      ++this.pos;
      parts.push(this.sequence(optionalKinds));
    }
    return parts.length === 1 && optionalKinds.size === 0 ? parts[0] : combine(parts, optionalKinds);
  }

  // Juxtaposed components; the kinds of optional single values left out are added to
  // optionalKinds for the caller's mixing test.
  sequence(optionalKinds) {
    const parts = [];
    const own = new Set();
    while (this.pos < this.tokens.length && !['|', '||', '&&', ']'].includes(this.peek().kind)) {
      const single = this.peek().kind !== '[';
      const part = this.multiplied();
      if (part?.optional) {
        if (single) for (const kind of part.kinds) own.add(kind);
      } else if (part) {
        parts.push(part);
      }
    }
    for (const kind of own) optionalKinds.add(kind);
    return parts.length === 1 && own.size === 0 ? parts[0] : combine(parts, own);
  }

  // One component with its multiplier. An optional component ("?", "*", "{0,n}") is
  // left out: the editor offers what a value needs, not every extra it may carry.
  // A component that must be repeated ("{2}") is a list no single editor writes.
  multiplied() {
    let part = this.component();
    let optional = false;
    while (this.pos < this.tokens.length) {
      const token = this.peek();
      if (token.kind === '?' || token.kind === '*') optional = true;
      else if (token.kind === '{}') {
        if (token.min === 0) optional = true;
        else if (token.min > 1 && part && (part.kinds.has('color') || part.kinds.has('url')))
          part = { kinds: new Set(['free']), keywords: [], mixed: part.mixed };
      } else if (token.kind !== '#' && token.kind !== '+' && token.kind !== '!') break;
      ++this.pos;
    }
    if (part && optional && this.keepOptional === 0)
      part.optional = true;
    return part;
  }

  // Whether the group that starts at the current position is followed by "!".
  groupIsRequired() {
    let depth = 1;
    for (let i = this.pos; i < this.tokens.length; ++i) {
      if (this.tokens[i].kind === '[') ++depth;
      else if (this.tokens[i].kind === ']' && --depth === 0) return this.tokens[i + 1]?.kind === '!';
    }
    return false;
  }

  component() {
    const token = this.tokens[this.pos++];
    const result = empty();
    switch (token.kind) {
    case '[': {
      const required = this.groupIsRequired();
      if (required) ++this.keepOptional;
      const inner = this.alternatives();
      if (required) --this.keepOptional;
      if (this.peek()?.kind === ']') ++this.pos;
      return inner;
    }
    case 'keyword':
      result.keywords.push(token.name);
      return result;
    case 'function':
      result.kinds.add('function');
      return result;
    case 'property': {
      const key = `'${token.name}'`;
      if (!properties[token.name] || this.seen.has(key)) return null;
      return analyse(properties[token.name].syntax, new Set([...this.seen, key]));
    }
    case 'type':
      if (leafTypes.has(token.name)) {
        result.kinds.add(leafTypes.get(token.name));
        return result;
      }
      if (syntaxes[token.name] && !this.seen.has(token.name))
        return analyse(syntaxes[token.name].syntax, new Set([...this.seen, token.name]));
      result.kinds.add('free');
      return result;
    default:
      return null;
    }
  }
}

function analyse(syntax, seen = new Set()) {
  return new Parser(syntax, seen).alternatives();
}

function valuesOf(name, syntax) {
  if (name === 'font-family') return '<Font>';
  const found = analyse(syntax);
  const has = (kind) => found.kinds.has(kind);
  if (found.mixed) return '';
  if (has('color')) return has('number') ? '' : '<Color>';
  if (has('url')) return has('number') || has('free') || has('function') ? '' : '<URL>';
  if (has('number')) return '<Number>';
  if (found.kinds.size === 0 && found.keywords.length > 0) return found.keywords.join('\n');
  // Anything left allows text of the user's own (names, strings) that no list holds.
  return '';
}

function parseCsv(text) {
  const records = [];
  let record = [];
  let field = '';
  let quoted = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (quoted) {
      if (c === '"' && text[i + 1] === '"') { field += '"'; ++i; }
      else if (c === '"') quoted = false;
      else field += c;
    } else if (c === '"') quoted = true;
    else if (c === ',') { record.push(field); field = ''; }
    else if (c === '\n') { record.push(field); records.push(record); record = []; field = ''; }
    else if (c !== '\r') field += c;
  }
  if (field !== '' || record.length > 0) { record.push(field); records.push(record); }
  return records;
}

const quote = (text) => (/[",\n]/.test(text) ? `"${text.replaceAll('"', '""')}"` : text);

const rows = new Map();
for (const name of Object.keys(properties).sort()) {
  const property = properties[name];
  if (name.startsWith('-')) continue;
  if (property.status !== 'standard' && property.status !== 'experimental') continue;
  rows.set(name, valuesOf(name, property.syntax));
}

if (overridesFile) {
  const [header, ...records] = parseCsv(fs.readFileSync(overridesFile, 'utf8'));
  const nameColumn = header.indexOf('Attribute');
  const valuesColumn = header.indexOf('Values');
  for (const record of records) {
    const name = record[nameColumn];
    if (!rows.has(name)) throw new Error(`${overridesFile}: no property "${name}" to override`);
    rows.set(name, record[valuesColumn]);
  }
}

const lines = ['Attribute,Values'];
for (const [name, values] of rows) lines.push(`${quote(name)},${quote(values)}`);
process.stdout.write(lines.join('\n') + '\n');
