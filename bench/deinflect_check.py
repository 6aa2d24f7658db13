#!/usr/bin/env python3
"""How often deinflection finds the dictionary form: about 1,500 conjugated forms of 50 common
verbs and adjectives, made here by a small conjugator of its own, each sent to the protocol's
"deinflect" on the Ambora suite. Prints the share of forms whose dictionary form is among the
candidates, and first where only one word of the list makes the form, then the misses.

    bench/deinflect_check.py [build/bin/lexorpeek]     (HOME must hold Library/Lexor)
"""
import collections
import json
import subprocess
import sys

ICHIDAN = ["食べる", "見る", "寝る", "起きる", "教える", "出る", "開ける", "閉める", "着る", "忘れる",
           "覚える", "始める"]
GODAN = ["書く", "聞く", "歩く", "泳ぐ", "急ぐ", "話す", "貸す", "待つ", "持つ", "立つ", "死ぬ", "遊ぶ",
         "呼ぶ", "飲む", "読む", "住む", "帰る", "作る", "乗る", "買う", "会う", "言う", "使う", "行く"]
IRREGULAR = ["する", "来る", "くる"]
ADJECTIVES = ["高い", "安い", "新しい", "大きい", "小さい", "難しい", "楽しい", "暑い", "いい"]
SURU_NOUNS = ["勉強"]

ROWS = {"う": "わいえお", "く": "かきけこ", "ぐ": "がぎげご", "す": "さしせそ", "つ": "たちてと",
        "ぬ": "なにねの", "ぶ": "ばびべぼ", "む": "まみめも", "る": "らりれろ"}
TE = {"う": "って", "つ": "って", "る": "って", "く": "いて", "ぐ": "いで", "す": "して",
      "ぬ": "んで", "ぶ": "んで", "む": "んで"}


def verb_forms(stem_i, stem_a, stem_e, stem_o, te, potential, passive, causative, imperative):
    ta = te[:-1] + ("た" if te.endswith("て") else "だ")
    teiru = te + "いる"
    forms = [stem_i + "ます", stem_i + "ました", stem_i + "ません", stem_i + "ませんでした",
             stem_i + "ましょう", stem_a + "ない", stem_a + "なかった", stem_a + "ず",
             stem_a + "なくて", ta, te, teiru, te + "いた", te + "います", te + "る",
             stem_i + "たい", stem_i + "たくない", stem_i + "たかった", potential,
             potential[:-1] + "ない", passive, causative, causative[:-1] + "られる",
             stem_o + "う", imperative, stem_e + "ば", ta + "ら", stem_i + "ながら",
             te + "しまう", te + "しまった", te + "ください", potential[:-1] + "ます"]
    chau = te[:-1] + ("ちゃう" if te.endswith("て") else "じゃう")
    if stem_a == "し":  # する: せず, not しず
        forms[7] = "せず"
    return forms + [chau]


def conjugate(word):
    if word in ICHIDAN:
        s = word[:-1]
        return verb_forms(s, s, s + "れ", s + "よ", s + "て", s + "られる", s + "られる",
                          s + "させる", s + "ろ")
    if word in GODAN:
        s, end = word[:-1], word[-1]
        a, i, e, o = ROWS[end]
        te = s + ("って" if word == "行く" else TE[end])
        return verb_forms(s + i, s + a, s + e, s + o, te, s + e + "る", s + a + "れる",
                          s + a + "せる", s + e)
    if word == "する":
        return verb_forms("し", "し", "すれ", "しよ", "して", "できる", "される", "させる", "しろ")
    if word in ("来る", "くる"):
        k = "来" if word == "来る" else ""
        return verb_forms(k or "き", k or "こ", (k or "く") + "れ", (k or "こ") + "よ",
                          (k or "き") + "て", (k or "こ") + "られる", (k or "こ") + "られる",
                          (k or "こ") + "させる", (k or "こ") + "い")
    if word in SURU_NOUNS:
        return [word + f for f in conjugate("する")]
    # i-adjectives; いい conjugates on よ
    s = "よ" if word == "いい" else word[:-1]
    forms = ["く", "くない", "くありません", "くありませんでした", "かった", "くなかった", "くて",
             "ければ", "すぎる", "かったら", "くなかったら", "くなくて"]
    return [s + f for f in forms] + [("よさ" if word == "いい" else s) + "そう"]


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build/bin/lexorpeek"
    words = ICHIDAN + GODAN + IRREGULAR + ADJECTIVES + SURU_NOUNS
    cases = [(word, form) for word in words for form in conjugate(word)]
    makers = collections.defaultdict(set)
    for word, form in cases:
        makers[form].add(word)
    calls = [{"op": "deinflect", "args": [form]} for _, form in cases]
    lines = [json.dumps({"op": "useAmbora"})]
    lines += [json.dumps(calls[i:i + 1000], ensure_ascii=False) for i in range(0, len(calls), 1000)]
    out = subprocess.run([program, "--quiet", "repl"], input="\n".join(lines) + "\n",
                         capture_output=True, text=True, check=True).stdout.splitlines()
    answers = [a for line in out[1:] for a in json.loads(line)]
    among = first = unambiguous = 0
    misses = []
    for (word, form), answer in zip(cases, answers):
        found = [c["word"] for c in answer.get("result", [])]
        # 勉強 has no entry of 勉強する in the demo data: the noun is its dictionary form.
        want = {word, word + "する"} if word in SURU_NOUNS else {word}
        if want & set(found):
            among += 1
        else:
            misses.append((word, form, found[:3]))
        if len(makers[form]) == 1:
            unambiguous += 1
            if found and found[0] in want:
                first += 1
            elif want & set(found):
                misses.append((word, form, ["(not first)"] + found[:3]))
    print(f"forms {len(cases)} of {len(words)} words")
    print(f"among the candidates: {among / len(cases):.1%}")
    print(f"first, where one word makes the form ({unambiguous}): {first / unambiguous:.1%}")
    for miss in misses:
        print("  ", *miss)


if __name__ == "__main__":
    main()
