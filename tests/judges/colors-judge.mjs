// Judges `loomcss color` with colorjs.io on every text of a colour table
// (tests/data/colors/colours.txt, whose header gives its form):
// - sRGB: `--to rgb` gives colorjs's sRGB channels within 1/255 for colours inside
//   sRGB, the same "outside sRGB" verdict, and for colours outside it colorjs's CSS gamut
//   mapping within 1/255;
// - every form (hsl, hwb, lab, lch, oklab, oklch, p3): our components, read back by
//   colorjs, are colorjs's conversion of the same colour within 1e-4;
// - round trips: every form to every form, then back in the colour's own space, within
//   1e-4 (the sRGB forms only for colours inside sRGB);
// - texts that are no colour print "no colour" and exit 1.
// Usage: node colors-judge.mjs LOOMCSS TABLE. Prints each failure and a summary line;
// exit 0 when all pass, 1 otherwise (3: missing judge or arguments, 4: a fault here).
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { loadJudge, EXIT_SETUP } from './load-judges.mjs';

const colorjs = loadJudge('colorjs.io');
const Color = colorjs.default ?? colorjs;

const [loomcss, tableFile] = process.argv.slice(2);
if (!loomcss || !tableFile) {
    process.stderr.write('usage: node colors-judge.mjs LOOMCSS TABLE\n');
    process.exit(EXIT_SETUP);
}

// --- the table -------------------------------------------------------------------
const colours = [];
const nonColours = [];
{
    let inNon = false;
    for (const line of readFileSync(tableFile, 'utf8').split('\n')) {
        if (line.startsWith('//') || line === '') continue;
        if (line === 'no colour:') {
            inNon = true;
            continue;
        }
        if (inNon) {
            nonColours.push(line === '""' ? '' : line.replaceAll('\\t', '\t').replaceAll('\\n', '\n'));
            continue;
        }
        const tab = line.indexOf('\t');
        colours.push(tab < 0 ? { text: line, judge: null } : { text: line.slice(0, tab), judge: line.slice(tab + 1) });
    }
}

// --- what colorjs says: every colour as a pair [light, dark] ---------------------
const pair = (x) => (Array.isArray(x) ? x : [typeof x === 'string' ? new Color(x) : x, typeof x === 'string' ? new Color(x) : x]);

// colorjs's names of the spaces whose CSS names it does not take.
const spaceId = (name) => ({ 'display-p3': 'p3', 'a98-rgb': 'a98rgb', 'prophoto-rgb': 'prophoto', xyz: 'xyz-d65' })[name] ?? name;

// color-mix() with CSS's percentages: both omitted 50/50, one omitted the rest of 100,
// scaled to 100 with the alpha multiplied by the sum when it is below 100.
function mix(space, hue, a, pa, b, pb) {
    const [la, da] = pair(a);
    const [lb, db] = pair(b);
    let p1 = pa, p2 = pb;
    if (p1 === null && p2 === null) p1 = p2 = 50;
    else if (p1 === null) p1 = 100 - p2;
    else if (p2 === null) p2 = 100 - p1;
    const sum = p1 + p2;
    const one = (x, y) => {
        const r = Color.mix(x, y, p2 / sum, { space: spaceId(space), outputSpace: spaceId(space), hue, premultiplied: true });
        if (sum < 100) r.alpha = r.alpha * (sum / 100);
        return r;
    };
    return [one(la, lb), one(da, db)];
}

// A relative colour: the origin in the space, none as 0, the components computed.
function rel(space, origin, fn) {
    const scale = space === 'srgb255' ? 255 : 1;
    const id = space === 'srgb255' ? 'srgb' : spaceId(space);
    const one = (o) => {
        const c = o.to(id);
        const coords = c.coords.map((v) => (Number.isNaN(v) || v === null ? 0 : v * scale));
        const alpha = Number.isNaN(c.alpha) || c.alpha === null ? 0 : c.alpha;
        const out = fn(coords[0], coords[1], coords[2], alpha);
        return new Color(id, out.slice(0, 3).map((v) => v / scale), Math.min(1, Math.max(0, out[3])));
    };
    const [l, d] = pair(origin);
    return [one(l), one(d)];
}

const ld = (a, b) => [pair(a)[0], pair(b)[1]];
const same = (text) => pair(text);

function expected(row) {
    // The judge expressions are the committed table's own, built from the helpers above.
    // eslint-disable-next-line no-new-func
    return row.judge ? pair(new Function('mix', 'rel', 'ld', 'same', `return ${row.judge};`)(mix, rel, ld, same)) : pair(row.text);
}

// --- what we say -------------------------------------------------------------------
function run(args) {
    const r = spawnSync(loomcss, ['color', ...args], { encoding: 'utf8', maxBuffer: 1 << 26 });
    if (r.error) throw r.error;
    return { status: r.status, lines: r.stdout.split('\n').slice(0, -1), stderr: r.stderr };
}

// One output line as its sides: { text, outside } each.
function sides(line) {
    const m = /^light-dark\((.*)\)$/.exec(line);
    const parts = [];
    if (m) {
        let depth = 0, start = 0;
        const inner = m[1];
        for (let i = 0; i < inner.length; ++i) {
            if (inner[i] === '(') ++depth;
            else if (inner[i] === ')') --depth;
            else if (inner[i] === ',' && depth === 0) {
                parts.push(inner.slice(start, i).trim());
                start = i + 1;
            }
        }
        parts.push(inner.slice(start).trim());
    } else {
        parts.push(line, line);
    }
    return parts.map((p) => ({ text: p.replace(' /* outside sRGB */', ''), outside: p.includes('/* outside sRGB */') }));
}

let passed = 0;
let failed = 0;
const failures = [];
function verdict(ok, what) {
    if (ok) ++passed;
    else {
        ++failed;
        if (failures.length < 60) failures.push(what);
    }
}

const noneAsZero = (v) => (v === null || Number.isNaN(v) ? 0 : v);
const expect = colours.map((row) => {
    try {
        return expected(row);
    } catch (e) {
        verdict(false, `${row.text}: colorjs cannot compute it: ${e.message}`);
        return null;
    }
});

// The hue index of colorjs's polar spaces and whether a colour's hue is meaningful there.
const hueAt = { hsl: 0, hwb: 0, lch: 2, oklch: 2 };
function hueMatters(space, coords) {
    switch (space) {
    case 'hsl': return coords[1] > 1e-3 && !nearBlackOrWhite(coords);
    case 'hwb': return coords[1] + coords[2] < 100 - 1e-3;
    case 'lch': return coords[1] > 1e-3;
    case 'oklch': return coords[1] > 1e-5;
    default: return true;
    }
}

// In hsl a colour at lightness 0 or 100 has neither hue nor saturation.
const nearBlackOrWhite = (hsl) => hsl[2] < 1e-3 || hsl[2] > 100 - 1e-3;

// Components of two colours in one space within `tolerance` (hues on the circle, and
// only where the colour has one; alpha too).
// hwb with whiteness and blackness adding up to 100 or more is a grey: they count by
// their ratio, and the hue not at all.
function canonical(space, coords) {
    const sum = coords[1] + coords[2];
    return space === 'hwb' && sum >= 100 ? [0, (100 * coords[1]) / sum, (100 * coords[2]) / sum] : coords;
}
function close(space, a, b, tolerance) {
    const ca = canonical(space, a.to(space).coords.map(noneAsZero)), cb = canonical(space, b.to(space).coords.map(noneAsZero));
    for (let i = 0; i < 3; ++i) {
        if (space === 'hsl' && i === 1 && nearBlackOrWhite(ca)) continue;
        if (i === hueAt[space]) {
            if (!hueMatters(space, ca)) continue;
            const d = Math.abs((((ca[i] - cb[i]) % 360) + 540) % 360 - 180);
            if (d > tolerance) return false;
        } else if (!(Math.abs(ca[i] - cb[i]) <= tolerance)) return false;
    }
    return Math.abs(noneAsZero(a.alpha) - noneAsZero(b.alpha)) <= tolerance;
}
const show = (c) => `${c.space.id}(${c.coords.map((v) => (v === null || Number.isNaN(Number(v)) ? "none" : +Number(v).toFixed(6))).join(" ")} / ${+Number(noneAsZero(c.alpha)).toFixed(6)})`;

const texts = colours.map((r) => r.text);

// The sRGB forms hold what a screen shows: for colours inside sRGB (within colorjs's
// tolerance) their sRGB channels brought within 0..1, in the colour's own space.
const onScreen = (c) =>
    new Color('srgb', c.to('srgb').coords.map((v) => Math.min(1, Math.max(0, noneAsZero(v)))), c.alpha).to(c.space.id);

// sRGB channels and the outside verdict.
{
    const out = run(['--to', 'rgb', '--precision', '6', ...texts]);
    verdict(out.status === 0 && out.lines.length === texts.length, `--to rgb over the table: exit ${out.status}, ${out.lines.length} lines for ${texts.length} texts`);
    out.lines.forEach((line, i) => {
        if (!expect[i]) return;
        sides(line).forEach((side, s) => {
            const want = expect[i][s];
            const inside = want.inGamut('srgb');
            verdict(side.outside === !inside, `${texts[i]}: ours says ${side.outside ? 'outside' : 'inside'} sRGB, colorjs ${inside ? 'inside' : 'outside'} (${show(want.to('srgb'))})`);
            let ours;
            try {
                ours = new Color(side.text);
            } catch (e) {
                verdict(false, `${texts[i]}: colorjs cannot read our "${side.text}"`);
                return;
            }
            const reference = inside ? want.to('srgb') : want.clone().toGamut({ space: 'srgb', method: 'css' }).to('srgb');
            const oc = ours.to('srgb').coords.map(noneAsZero), rc = reference.coords.map(noneAsZero);
            const worst = Math.max(...oc.map((v, k) => Math.abs(v - Math.min(1, Math.max(0, rc[k])))));
            verdict(worst <= 1 / 255 && Math.abs(noneAsZero(ours.alpha) - noneAsZero(want.alpha)) <= 1e-5,
                `${texts[i]}: ours ${side.text}, colorjs ${show(reference)}${inside ? '' : ' (gamut-mapped)'}, off by ${(worst * 255).toFixed(3)}/255`);
        });
    });
}

// Components in every form; then the round trips.
const forms = { rgb: 'srgb', hsl: 'hsl', hwb: 'hwb', lab: 'lab', lch: 'lch', oklab: 'oklab', oklch: 'oklch', p3: 'p3' };
const srgbForms = new Set(['rgb', 'hsl', 'hwb']);
const inside = expect.map((e) => e && e.every((c) => c.inGamut('srgb')));
const converted = {};
for (const [form, space] of Object.entries(forms)) {
    const out = run(['--to', form, '--precision', '12', ...texts]);
    converted[form] = out.lines;
    out.lines.forEach((line, i) => {
        if (!expect[i] || (srgbForms.has(form) && !inside[i])) return;
        sides(line).forEach((side, s) => {
            let ours;
            try {
                ours = new Color(side.text);
            } catch (e) {
                verdict(false, `${texts[i]} --to ${form}: colorjs cannot read our "${side.text}"`);
                return;
            }
            const want = srgbForms.has(form) ? onScreen(expect[i][s]) : expect[i][s];
            verdict(ours.space.id === space && close(space, ours, want, 1e-4),
                `${texts[i]} --to ${form}: ours ${side.text}, colorjs ${show(want.to(space))}`);
        });
    });
}
for (const first of Object.keys(forms)) {
    for (const second of Object.keys(forms)) {
        const rows = texts.map((t, i) => i).filter((i) => expect[i] && (inside[i] || !(srgbForms.has(first) || srgbForms.has(second))));
        const out = run(['--to', second, '--precision', '12', ...rows.map((i) => converted[first][i])]);
        out.lines.forEach((line, k) => {
            const i = rows[k];
            sides(line).forEach((side, s) => {
                const want = expect[i][s];
                let back;
                try {
                    back = new Color(side.text);
                } catch (e) {
                    verdict(false, `${texts[i]} ${first} -> ${second}: colorjs cannot read our "${side.text}"`);
                    return;
                }
                const reference = srgbForms.has(first) || srgbForms.has(second) ? onScreen(want) : want;
                verdict(close(want.space.id, back, reference, 1e-4),
                    `${texts[i]} -> ${first} -> ${second} -> back: ${show(back.to(want.space.id))}, was ${show(want)}`);
            });
        });
    }
}

// Texts that are no colour.
{
    const out = run(nonColours);
    verdict(out.status === 1, `the texts that are no colour exit ${out.status}, not 1`);
    nonColours.forEach((t, i) => verdict(out.lines[i] === 'no colour', `${JSON.stringify(t)} is no colour, ours: ${out.lines[i]}`));
}

for (const f of failures) process.stdout.write(`FAIL ${f}\n`);
process.stdout.write(`colour judge (${colours.length} colours, ${nonColours.length} texts that are none): ${passed} passed, ${failed} failed\n`);
process.exit(failed === 0 ? 0 : 1);
