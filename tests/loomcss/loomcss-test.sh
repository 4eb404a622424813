#!/usr/bin/env bash
# Runs the loomcss program of a build as a user would: its three commands on a sample
# style sheet against the real catalogue, and its exit codes and messages.
# Usage: loomcss-test.sh PATH/TO/loomcss DATA-FOLDER
set -u
loomcss=$1
data=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() { # NAME, then a command that succeeds when the check holds
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAIL: $name"
    fi
}

run() { # runs loomcss with the arguments; sets out, err, rc
    "$loomcss" "$@" >"$work/out" 2>"$work/err"
    rc=$?
    out=$(cat "$work/out")
    err=$(cat "$work/err")
}

# format: the exact bytes Save writes. A colon-form file is standard CSS and is written
# back as it was read, byte for byte; --form chooses the form.
run format "$data/hand-written.css"
check "format exits 0" test "$rc" -eq 0
check "format writes a standard sheet's own bytes" cmp -s "$work/out" "$data/hand-written.css"
check "format writes nothing on standard error" test -z "$err"
run format --form=editor "$data/hand-written.css"
check "format --form=editor writes the editor's own form" cmp -s "$work/out" "$data/hand-written.editor-form"
cp "$work/out" "$work/editor-form.css"
run format "$work/editor-form.css"
check "a file in the editor's own form stays in it" cmp -s "$work/out" "$data/hand-written.editor-form"
run format --form=standard "$work/editor-form.css"
check "format --form=standard writes standard CSS, a declaration a line" \
    grep -qzF $'BODY {\r\n  color: red;\r\n  font-size: 12px;\r\n' "$work/out"
run format --form=other "$data/hand-written.css"
check "an unknown form exits 2" test "$rc" -eq 2

# edit: what Save writes after the --set edits; nothing else of the file changes.
printf 'a {\n  color: red; /* keep */\n}\n\n@media (min-width: 40em) {\n  .nav { display: block }\n}\n' >"$work/edit.css"
cp "$work/edit.css" "$work/edit-original.css"
run edit "$work/edit.css"
check "edit without --set writes the sheet's own bytes" cmp -s "$work/out" "$work/edit.css"
run edit "$work/edit.css" --set 'a { color: #333; margin: 0 }' --set '@media (min-width: 40em) { .nav { display: none } }' \
    --set '.new { top: 0 }'
check "edit exits 0" test "$rc" -eq 0
check "edit changes only the values and adds in the file's style" test "$out" = "$(printf 'a {\n  color: #333; /* keep */\n  margin: 0;\n}\n\n@media (min-width: 40em) {\n  .nav { display: none }\n}\n\n.new {\n  top: 0;\n}')"
run edit "$work/edit.css" --set 'a { color: blue }' -o "$work/edit-out.css"
check "edit -o writes OUT and leaves FILE" grep -q 'color: blue; /\* keep \*/' "$work/edit-out.css"
check "edit -o leaves FILE as it was" cmp -s "$work/edit.css" "$work/edit-original.css"
run edit "$work/edit.css" --in-place --set 'a { color: green }'
check "edit --in-place writes FILE" grep -q 'color: green; /\* keep \*/' "$work/edit.css"
cp "$work/edit.css" "$work/read-only.css" && chmod 444 "$work/read-only.css"
run edit "$work/read-only.css" --in-place --set 'a { color: red }'
check "edit --in-place of a read-only file writes nothing and exits 1 with the reason" \
    test "$rc" -eq 1 -a "$err" = "$work/read-only.css: the file is read-only; not written"
check "the read-only file keeps its bytes and its mode" \
    sh -c 'cmp -s "$1" "$2" && test "$(stat -c %a "$2")" = 444' - "$work/edit.css" "$work/read-only.css"
run edit "$work/edit.css" --set 'a { color: '
check "a --set that is no CSS exits 2" test "$rc" -eq 2
for piece in 'a' '' 'a { color: red } junk' 'color: red'; do
    run edit "$work/edit.css" --set "$piece"
    check "a --set without a rule, or with words after it ($piece), exits 2 and says so" \
        test "$rc" -eq 2 -a -z "$out" -a -n "$err"
done
run edit "$work/edit.css" -o
check "edit -o without OUT exits 2" test "$rc" -eq 2
printf 'a { color: red }\n}\n' >"$work/refused.css"
run edit "$work/refused.css"
check "edit of a file the reader refuses exits 1 with its place" test "$rc" -eq 1 -a "$err" = "$work/refused.css:2:1: \"}\" closes no block"

# tree: node lines MARK TAB LABEL, declarations one TAB deeper, a TAB more per level.
run tree "$data/hand-written.css"
check "tree exits 0" test "$rc" -eq 0
check "tree shows a rule for the pseudo-class node with picture 9, as written" grep -qxP '9\ta:hover' "$work/out"
check "tree shows the catalogue colour kind" grep -qxP '\t1\tcolor: red' "$work/out"
check "tree puts both BODY rules under one node" \
    test "$(grep -cP '^[0-9]+\tBODY$' "$work/out")" -eq 1 -a "$(grep -cxP '\t1\tbackground-color: #fff' "$work/out")" -eq 1
check "tree shows unknown selectors with picture 0" grep -qxP '0\th1, h2' "$work/out"
check "tree shows comments with c" grep -qxP 'c\t/\* a comment \*/' "$work/out"
check "tree lines have their forms" test -z "$(grep -vP '^(([0-9]+|c)\t[^\t]*|\t[0-5]\t.*)$' "$work/out")"
printf 'P {content=a\tb\\c;}' >"$work/escapes.css"
run tree "$work/escapes.css"
check "tree escapes tab and backslash" grep -qxP '\t0\tcontent=a\\tb\\\\c' "$work/out"
printf '@import "a.css";\n@media print {\n  @supports (display: grid) { .a { color: red } }\n}\n' >"$work/nested.css"
run tree "$work/nested.css"
check "tree shows deeper levels with one TAB more each" \
    test "$out" = "$(printf 's\t@import "a.css"\nb\t@media print\n\tb\t@supports (display: grid)\n\t\t0\t.a\n\t\t\t1\tcolor: red')"

# Failures: the file, line and column, and why.
printf 'BODY {color: red}\n @media print { BODY { color: black } } }\n' >"$work/brace.css"
run tree "$work/brace.css"
check "a malformed file exits 1" test "$rc" -eq 1
check "a malformed file is reported with its place" test "$err" = "$work/brace.css:2:41: \"}\" closes no block"
check "a malformed file prints nothing" test -z "$out"
# Nesting: 20,000 @media blocks (300 KB) are refused at the "{" too deep, by every
# command, without a crash; 1,000 levels of rules inside rules are read and formatted
# back byte for byte.
for i in $(seq 20000); do printf '@media screen{'; done >"$work/deep.css"
# (check, like every tool a CI job runs, tells an unreadable file by exit status 2.)
for command in tree format check; do
    run "$command" "$work/deep.css"
    unreadable=1
    [ "$command" = check ] && unreadable=2
    check "$command refuses 20,000 nested blocks at the block too deep" \
        test "$rc" -eq "$unreadable" -a "$err" = "$work/deep.css:1:28014: blocks nested deeper than 2000" -a -z "$out"
done
{ for i in $(seq 1000); do printf 'a{'; done; printf 'color:red'; for i in $(seq 1000); do printf '}'; done; } >"$work/deep-rules.css"
run format "$work/deep-rules.css"
check "format writes 1,000 nested rules back as they were" cmp -s "$work/out" "$work/deep-rules.css"
run format --form=editor "$work/deep-rules.css"
check "the editor's form indents 20 levels at most" \
    test "$rc" -eq 0 -a "$(awk '{ match($0, /^ */); if (RLENGTH > m) m = RLENGTH } END { print m }' "$work/out")" -eq 40
run format "$work/missing.css"
check "a missing file exits 1 with the system's reason" \
    test "$rc" -eq 1 -a "${err#"$work/missing.css: "}" != "$err" -a "${err%No such file or directory}" != "$err"

# A folder, a named pipe (without a writer) or a device is refused at once with the
# reason, before anything could block or read without end.
mkdir "$work/folder.css"
mkfifo "$work/pipe.css"
for special in "$work/folder.css|a folder" "$work/pipe.css|a named pipe" "/dev/zero|a device"; do
    file=${special%%|*}
    timeout 20 "$loomcss" format "$file" >"$work/out" 2>"$work/err"
    rc=$?
    check "format on ${special#*|} exits 1 at once with FILE: reason" \
        test "$rc" -eq 1 -a "$(cat "$work/err")" = "$file: Cannot open file \"$file\". It is ${special#*|}, not a regular file"
done

# check: one line per finding in file order, FILE:LINE:COLUMN: warning: reason.
printf '%s\n' \
    '@font-face { font-family: X; src: url(x.woff2) format("woff2"); colr: red }' \
    'p { colr: red; margin: 0 }' \
    '@media print {' \
    '  .a {' \
    '    color: red;' \
    '    display: flexx;' \
    '    color: blue;' \
    '    .b { width: 10 }' \
    '  }' \
    '}' \
    '@page :first { margin: red; size: A4 }' \
    'BODY { display: -webkit-box; display: flex; *zoom: 1; --x: var(--y) }' \
    'body { text-align: left; text-align: start }' >"$work/check.css"
run check "$work/check.css"
check "check exits 1 with findings" test "$rc" -eq 1
check "check prints each finding with its place, in file order" test "$out" = "$(printf '%s\n' \
    "$work/check.css:1:65: warning: unknown descriptor colr in @font-face" \
    "$work/check.css:2:5: warning: unknown property colr (did you mean color?)" \
    "$work/check.css:5:5: warning: overridden by line 7" \
    "$work/check.css:6:5: warning: 'flexx' is not a valid value for display" \
    "$work/check.css:8:10: warning: '10' is not a valid value for width" \
    "$work/check.css:11:16: warning: 'red' is not a valid value for margin")"
check "check writes nothing on standard error" test -z "$err"
run check --quiet "$work/check.css"
check "check --quiet prints the count" test "$rc" -eq 1 -a "$out" = 6
run check --tab "$work/check.css"
check "check --tab prints kind and property" \
    test "$(sed -n 3p "$work/out")" = "$(printf '%s\t5\t5\toverridden\tcolor\toverridden by line 7' "$work/check.css")"
printf 'P {color=red; display="flex"; width="10px"; font-family="Arial"}' >"$work/editor.css"
run check "$work/editor.css"
check "check reads the editor's form as written" test "$out" = "$(printf '%s\n' \
    "$work/editor.css:1:15: warning: display=\"flex\" is not valid CSS" \
    "$work/editor.css:1:31: warning: width=\"10px\" is not valid CSS")"
run check "$data/hand-written.css"
check "check exits 0 without findings" test "$rc" -eq 0 -a -z "$out" -a -z "$err"
run check --quiet "$data/hand-written.css" "$work/missing.css" "$work/check.css"
check "check reports an unreadable file, checks the others and exits 2" \
    test "$rc" -eq 2 -a "$out" = 6 -a "${err#"$work/missing.css: "}" != "$err"
run check
check "check without a file exits 2" test "$rc" -eq 2
run check --quiet --tab "$work/check.css"
check "check with two outputs exits 2" test "$rc" -eq 2
run check --format=xml "$work/check.css"
check "check with an unknown format exits 2" test "$rc" -eq 2

# The formats for tools and CI, on a sheet with a rule a browser drops and a hint.
printf '%s\n' 'a:hovr { color: red }' '.e {}' '.n, .m { top: 0 }' >"$work/formats.css"
run check "$work/formats.css"
check "check reports what stands around declarations" \
    test "$rc" -eq 1 -a "$out" = "$work/formats.css:1:1: warning: a browser drops this whole rule: unknown pseudo-class :hovr (did you mean :hover?)"
run check --hints "$work/formats.css"
check "check --hints adds hints as notes" test "$(sed -n 2p "$work/out")" = "$work/formats.css:2:1: note: an empty rule"
run check --format=json --hints "$work/formats.css"
check "check --format=json writes one object per finding" test "$rc" -eq 1 -a "$out" = "$(printf '%s\n' '[' \
    "{\"column\":1,\"file\":\"$work/formats.css\",\"kind\":\"selector\",\"line\":1,\"message\":\"a browser drops this whole rule: unknown pseudo-class :hovr (did you mean :hover?)\",\"property\":\"a:hovr\",\"severity\":\"warning\"}," \
    "{\"column\":1,\"file\":\"$work/formats.css\",\"kind\":\"empty-rule\",\"line\":2,\"message\":\"an empty rule\",\"property\":\".e\",\"severity\":\"hint\"}" ']')"
run check --format=json "$data/hand-written.css"
check "check --format=json without findings writes an empty array and exits 0" test "$rc" -eq 0 -a "$out" = "[]"
printf 'a:hovr, b { color: red }\n' >"$work/with,comma.css"
run check --format=github "$work/with,comma.css"
check "check --format=github writes workflow annotations, the file name escaped" \
    test "$rc" -eq 1 -a "$out" = "::warning file=$work/with%2Ccomma.css,line=1,col=1,title=selector::a browser drops this whole rule: unknown pseudo-class :hovr (did you mean :hover?)"
run check --format=github --format=gcc "$work/formats.css"
check "check with two formats exits 2" test "$rc" -eq 2

# Support marks against a Baseline year: @container and :has() became Baseline in 2023,
# aspect-ratio in 2021, color long before; a year's marks never change with newer data.
printf '%s\n' 'a:has(img) { color: red }' '.b { aspect-ratio: 1 }' '@container (min-width: 1px) {}' \
    '@supports (aspect-ratio: 1) { .d { aspect-ratio: 1 } }' >"$work/baseline.css"
run check --baseline=2019 "$work/baseline.css"
check "check --baseline=2019 notes what became Baseline later, and exits 1" test "$rc" -eq 1 -a "$out" = "$(printf '%s\n' \
    "$work/baseline.css:1:1: note: outside the support target (Baseline 2019): :has() is Baseline since 2023" \
    "$work/baseline.css:2:6: note: outside the support target (Baseline 2019): aspect-ratio is Baseline since 2021" \
    "$work/baseline.css:3:1: note: outside the support target (Baseline 2019): @container is Baseline since 2023")"
run check --baseline=2024 "$work/baseline.css"
check "check --baseline=2024 finds nothing in the same sheet" test "$rc" -eq 0 -a -z "$out"
run check --format=json --baseline=2019 "$work/baseline.css"
check "a support mark in JSON is kind support, severity hint" grep -q '"kind":"support".*"severity":"hint"\|"severity":"hint".*"kind":"support"' "$work/out"
run check "$work/baseline.css"
check "check without --baseline makes no support marks" test "$rc" -eq 0
run check --baseline=2014 "$work/baseline.css"
check "a Baseline year before there was one exits 2" test "$rc" -eq 2
run check --baseline=sometimes "$work/baseline.css"
check "an unknown Baseline target exits 2" test "$rc" -eq 2
run check --verbose "$work/check.css"
check "check with an unknown option exits 2" test "$rc" -eq 2

# color: each colour one a line in the form asked for; "no colour" and exit 1 for a
# text that is none (colorjs.io judges the values themselves: CTest colors_judge).
run color 'oklch(70% 0.1 200)' '#0af8' 'hsl(200 50% 50% / .5)'
check "color writes hex by default" test "$rc" -eq 0 -a "$out" = "$(printf '#40b1b7\n#00aaff88\n#4095bf80')"
run color --to oklch '1px solid red' 'red'
check "color: a text that is none prints no colour, exit 1" test "$rc" -eq 1 -a "$out" = "$(printf 'no colour\noklch(0.62796 0.25768 29.234)')"
run color --to=p3 --precision 2 'light-dark(white, color(display-p3 1 0 0))'
check "color keeps both sides of light-dark()" test "$rc" -eq 0 -a "$out" = "light-dark(color(display-p3 1 1 1), color(display-p3 1 0 0))"
run color --to hex 'color(display-p3 1 0 0)' currentcolor
check "color marks a colour outside sRGB" test "$rc" -eq 0 -a "$out" = "$(printf '#ff0b0c /* outside sRGB */\ncurrentcolor')"
run color
check "color without a colour exits 2" test "$rc" -eq 2 -a -n "$err"
run color --to cmyk red
check "color with an unknown form exits 2" test "$rc" -eq 2
run color --precision 99 red
check "color with a precision past 20 exits 2" test "$rc" -eq 2
run --help
check "--help documents color" grep -q 'loomcss color \[--to FORM\]' "$work/out"

run tree
check "a missing argument exits 2" test "$rc" -eq 2
check "a missing argument prints the usage" grep -q '^Usage: loomcss' "$work/err"
run print "$data/hand-written.css"
check "an unknown command exits 2" test "$rc" -eq 2
run --help
check "--help exits 0 and prints the usage" test "$rc" -eq 0 -a "${out%%:*}" = "Usage"

# A wrong command line says what is wrong on its first line, then the commands' synopsis
# only (the descriptions are --help's).
while IFS='|' read -r arguments said; do
    # shellcheck disable=SC2086 # the arguments are words
    run $arguments
    check "$arguments: exits 2 saying \"$said\", then the synopsis" \
        test "$rc" -eq 2 -a "$(head -n 1 "$work/err")" = "loomcss: $said" -a "$(grep -c '' "$work/err")" -le 12
done <<'CASES'
check --format=xml x.css|unknown format xml (gcc, json or github)
check --baseline=1999 x.css|--baseline takes widely, newly or a year from 2015 on, not 1999
check --tab --quiet x.css|check takes one of --format, --tab and --quiet
edit x.css -o|-o needs OUT
edit x.css --in-place -o y.css|edit takes one of -o OUT and --in-place
format --form=x x.css|unknown form x (standard or editor)
print x.css|unknown command print
tree a.css b.css|tree takes one FILE
color --precision 99 red|--precision takes 0 to 20, not 99
preview x.css --port 0|--port takes 1 to 65535
CASES

# The program with its colour library, as installed, but without the catalogue tables.
mkdir "$work/bare"
cp "$loomcss" "$(dirname "$loomcss")/libColors.so" "$work/bare/"
"$work/bare/loomcss" tree "$data/hand-written.css" >"$work/out" 2>"$work/err"
rc=$?
check "missing tables exit 1" test "$rc" -eq 1
check "missing tables are reported" test "$(cat "$work/err")" = "Database files not found. Please reinstall Loomwright CSS"

# Installed without the preview's server: the other commands work, preview says why it
# cannot start.
mkdir "$work/noserver"
cp "$loomcss" "$(dirname "$loomcss")"/{libColors.so,tags.db,css.db,attributes.db,syntax.db} "$work/noserver/"
"$work/noserver/loomcss" check "$data/hand-written.css" >/dev/null 2>&1
rc=$?
check "check runs without the preview's server" test "$rc" -le 1
"$work/noserver/loomcss" preview "$data/hand-written.css" --no-open >"$work/out" 2>"$work/err"
rc=$?
check "preview without its server exits 1" test "$rc" -eq 1
check "preview without its server says so" grep -q "^The preview's server cannot be loaded: .*loomwright-preview.so" "$work/err"

echo "loomcss: $passed passed, $failed failed"
test "$failed" -eq 0
