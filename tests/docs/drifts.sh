#!/bin/sh
# drifts.sh REFERENCES_AGREE DOCS MESSAGES: each one-line drift of the table
# below, applied to a copy of its page, must make references_agree fail and
# print what the row expects (the section it names). A row whose text is no
# longer in its page fails too, so that no row passes by missing.
set -u
check=$1 docs=$2 messages=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LC_ALL=C
failed=0
tab=$(printf '\t')
while IFS=$tab read -r page expect old new; do
  case $page in
    ja/*) en=${page#ja/} ja=$page ;;
    *-ja.txt) en=${page%-ja.txt}.txt ja=$page ;;
    *) en=$page ja=ja/$page ;;
  esac
  # The copies keep their names' ends: a .txt page is read as plain text.
  mkdir -p "$work/en" "$work/ja"
  cp "$docs/$en" "$work/en/${en##*/}" && cp "$docs/$ja" "$work/ja/${ja##*/}"
  copy=$work/ja/${ja##*/}
  [ "$page" = "$en" ] && copy=$work/en/${en##*/}
  O=$old N=$new awk '!done && (i = index($0, ENVIRON["O"])) {
      $0 = substr($0, 1, i - 1) ENVIRON["N"] substr($0, i + length(ENVIRON["O"])); done = 1 }
    { print } END { exit !done }' "$docs/$page" >"$copy" || { echo "not in $page: $old"; failed=1; continue; }
  rc=0
  "$check" --messages "$messages" "$work/en/${en##*/}" "$work/ja/${ja##*/}" >"$work/out" || rc=$?
  if [ $rc = 1 ] && grep -qF -- "$expect" "$work/out"; then
    echo "caught: $page: $old -> $new"
  else
    echo "MISSED: $page: $old -> $new (exit $rc, expected \"$expect\")"
    cat "$work/out"
    failed=1
  fi
done <<'EOF'
ja/commands.md	tovjoyshock: 	最大の強さで 0.2 秒間	最大の強さで 0.3 秒間
ja/commands.md	rumble-on-xbox-style-pads: 	最後の振動から 0.2 秒後	最後の振動から 0.5 秒後
release/README-ja.txt	Rumble on Xbox-style pads: 	最大の強さで 0.2 秒間回し	最大の強さで 0.5 秒間回し
ja/commands.md	(the top): 	"tolvo ver0.67" のメッセージボックス	"tolvo ver0.68" のメッセージボックス
ja/commands.md	tovjoyshock: 	タイトル "tolvo" で	タイトル "tolvo ver0.67" で
ja/commands.md	tovmusicgetvol-tovmusicsetvol: 	`tovmusicsetvol(–, 音量, –, –)`	`tovmusicsetvol(音量, –, –, –)`
release/README-ja.txt	How a script reaches the commands: 	tovmusicsetvol 0 -1000	tovmusicsetvol -1000 0
ja/commands.md	tovkeystate: 	| 0x0010 | Z |	| 0x0010 | X |
ja/commands.md	tovkeystate: 	| 0x0800 | 左 Shift |	| 0x0080 | 左 Shift |
ja/commands.md	tovinit: 	| 5 | 入力、ムービー |	| 6 | 入力、ムービー |
ja/commands.md	tovjoyname: 	→ 0; -1; -2	→ 0; -1
ja/commands.md	tovmusicstop: 	"[tovmusicstop]演奏停止に失敗"	"[tovmusicstop]停止に失敗"
commands.md	is no text of the plug-in	"[initDMusic]検索パスの設定に失敗"	"[initDMusic]検索パス設定に失敗"
ja/commands.md	tovdpmload: 	"DPMX" でない	"DPMZ" でない
ja/host-script.md	lines-and-words: 	`\x82\xa0`	`\x82\xa2`
ja/host-script.md	command-line: 	640 × 480	640 × 400
EOF
exit $failed
