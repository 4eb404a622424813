// Writes the browser support table the check reads its Baseline statuses from, out of
// the npm package web-features (Apache-2.0):
//
//   node generate-baseline.mjs <node_modules folder> > baseline.csv
//
// baseline.csv (Feature,Status,Low,High,Missing), one row per part of CSS the data
// gives its own status:
//   property NAME          css.properties.NAME
//   value NAME KEYWORD     css.properties.NAME.KEYWORD (a keyword or a function name)
//   selector NAME          css.selectors.NAME (a pseudo-class or pseudo-element)
//   at-rule NAME           css.at-rules.NAME
// Status is widely (Baseline widely available), newly (newly available), limited, or
// discouraged (a feature the data advises against, such as clip, though browsers have it);
// Low and High the dates it became newly and widely available (YYYY-MM-DD, empty when
// not yet; a date the data gives as "on or before" keeps its day); Missing the core
// browsers that lack it, by the data's names (chrome chrome_android edge firefox
// firefox_android safari safari_ios), separated by blanks. The status of each part is
// the one the data gives that part itself, not that of the feature it belongs to. Rows
// are sorted by Feature.

import fs from 'node:fs';
import path from 'node:path';

const modules = path.resolve(process.argv[2] ?? 'node_modules');
const data = JSON.parse(fs.readFileSync(path.join(modules, 'web-features', 'data.json'), 'utf8'));
const browsers = Object.keys(data.browsers);

const name = /^[a-z][a-z0-9-]*$/; // a keyword, pseudo or at-rule name; not a note like grid_context
const featureOf = (key) => {
  const parts = key.split('.');
  if (parts[0] !== 'css') return null;
  if (parts[1] === 'properties' && parts.length === 3 && name.test(parts[2])) return `property ${parts[2]}`;
  if (parts[1] === 'properties' && parts.length === 4 && name.test(parts[2]) && name.test(parts[3]))
    return `value ${parts[2]} ${parts[3]}`;
  if (parts[1] === 'selectors' && parts.length === 3 && name.test(parts[2])) return `selector ${parts[2]}`;
  if (parts[1] === 'at-rules' && parts.length === 3 && name.test(parts[2])) return `at-rule ${parts[2]}`;
  return null;
};
const day = (date) => (date ?? '').replace(/^≤/, '');

const rows = new Map();
for (const feature of Object.values(data.features)) {
  if (feature.kind !== 'feature') continue;
  for (const [key, status] of Object.entries(feature.status?.by_compat_key ?? {})) {
    const row = featureOf(key);
    if (!row || rows.has(row)) continue;
    const level = feature.discouraged
      ? 'discouraged'
      : status.baseline === 'high' ? 'widely' : status.baseline === 'low' ? 'newly' : 'limited';
    const missing = browsers.filter((b) => !status.support?.[b]);
    rows.set(row, [row, level, day(status.baseline_low_date), day(status.baseline_high_date), missing.join(' ')]);
  }
}

const lines = ['Feature,Status,Low,High,Missing'];
for (const key of [...rows.keys()].sort()) lines.push(rows.get(key).join(','));
process.stdout.write(lines.join('\n') + '\n');
