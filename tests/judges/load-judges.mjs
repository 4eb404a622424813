// Finds the judges (postcss, css-tree) installed by scripts/deps. They live in the
// build tree, so they are loaded with require() rooted at that folder rather than
// with import, which would look beside this script in the source tree.
// The folder is $LW_JUDGES_DIR when set, else <repo>/build/judges.
import { createRequire } from 'node:module';
import { existsSync, readFileSync } from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

// Exit code of every judge when its packages are not installed or it is misused.
export const EXIT_SETUP = 3;

// A fault in a judge itself exits 4, never 1, which would read as a verdict.
process.on('uncaughtException', (e) => {
    process.stderr.write(`judge failed: ${e.stack ?? e}\n`);
    process.exit(4);
});

export function judgesDir() {
    const here = path.dirname(fileURLToPath(import.meta.url));
    return path.resolve(process.env.LW_JUDGES_DIR || path.join(here, '..', '..', 'build', 'judges'));
}

export function loadJudge(name) {
    const dir = judgesDir();
    const require = createRequire(path.join(dir, 'package.json'));
    try {
        return require(name);
    } catch (e) {
        process.stderr.write(`${name} is not installed in ${dir} (run scripts/deps): ${e.message.split('\n')[0]}\n`);
        process.exit(EXIT_SETUP);
    }
}

// Headless Chromium through puppeteer-core: $CHROMIUM, default /usr/bin/chromium. Exits
// with EXIT_SETUP at once when either is missing; the function it gives starts the
// browser with its profile in `folder`.
export function headlessChromium() {
    const chromium = process.env.CHROMIUM || '/usr/bin/chromium';
    if (!existsSync(chromium)) {
        process.stderr.write(`${chromium} not found\n`);
        process.exit(EXIT_SETUP);
    }
    const puppeteer = loadJudge('puppeteer-core');
    return (folder) => puppeteer.launch({
        executablePath: chromium,
        headless: true,
        args: ['--no-sandbox', '--disable-gpu'],
        userDataDir: path.join(folder, 'profile'),
    });
}

// A style sheet's text the way the editor decodes it: valid UTF-8 (a byte-order
// mark dropped), otherwise Latin-1, one character per byte.
export function readStyleSheet(file) {
    if (!existsSync(file)) {
        process.stderr.write(`${file}: no such file\n`);
        process.exit(EXIT_SETUP);
    }
    const bytes = readFileSync(file);
    try {
        return new TextDecoder('utf-8', { fatal: true }).decode(bytes);
    } catch {
        return bytes.toString('latin1');
    }
}
