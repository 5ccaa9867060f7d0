#!/usr/bin/env bash
# Renders the HTML report of every example declaration in headless Chromium and checks that the tree,
# the status and every explanation are there. Exit 77 (skipped) when Chromium cannot be had.
set -euo pipefail
programa=$(realpath "$1")
saida_png=${2:-}

if ! command -v chromium >/dev/null 2>&1; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends chromium >/dev/null 2>&1 ||
      { apt-get update -q >/dev/null 2>&1 && DEBIAN_FRONTEND=noninteractive apt-get install -y -q chromium >/dev/null; }
  else
    echo "chromium ausente e sem permissão para instalar: teste pulado"; exit 77
  fi
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_CACHE_HOME=$tmp/cache LANG=C.UTF-8
"$programa" exemplo "$tmp/ex.db" >/dev/null
"$programa" lote --banco "$tmp/ex.db" --exercicio 2002 --tarefas 2 --html "$tmp/relatorio.html" >/dev/null || [ $? -eq 1 ]
for d in 1 2 3 4 5 6 7 12; do
  "$programa" verificar --banco "$tmp/ex.db" --declaracao $d --exercicio 2002 --json >"$tmp/v$d.json" || [ $? -eq 1 ]
done

opcoes=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking
        --disable-component-update --disable-sync --user-data-dir="$tmp/perfil")
chromium "${opcoes[@]}" --dump-dom "file://$tmp/relatorio.html" >"$tmp/dom.html" 2>/dev/null
# The README's picture: the report of a small portfolio (two firms' databases and one a failing disk
# damaged), made from inside the folder so that no temporary path is shown.
if [ -n "$saida_png" ]; then
  mkdir -p "$tmp/clientes"
  cp "$tmp/ex.db" "$tmp/clientes/mercado-central.db"
  cp "$tmp/ex.db" "$tmp/clientes/padaria-sao-jorge.db"
  head -c 8192 /dev/urandom >"$tmp/clientes/farmacia-do-povo.db"
  (cd "$tmp" && "$programa" lote --exercicio 2002 clientes --html carteira.html >/dev/null 2>&1) || true
  chromium "${opcoes[@]}" --hide-scrollbars --window-size=900,1300 --screenshot="$(realpath -m "$saida_png")" \
    "file://$tmp/carteira.html" >/dev/null 2>&1
fi

python3 - "$tmp" <<'PY'
import html.parser, json, sys, glob, re
tmp = sys.argv[1]
class Texto(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(); self.partes = []; self.imagens = 0
    def handle_data(self, d): self.partes.append(d)
    def handle_starttag(self, tag, attrs):
        if tag == "svg" and ("class", "img") in attrs: self.imagens += 1
p = Texto(); p.feed(open(f"{tmp}/dom.html", encoding="utf-8").read())
texto = re.sub(r"\s+", " ", "".join(p.partes))
falhas = []
esperadas = 0
for arquivo in sorted(glob.glob(f"{tmp}/v*.json")):
    v = json.load(open(arquivo, encoding="utf-8"))
    for t in [v["status"]] + [n["texto"] for n in v["arvore"]]:
        if re.sub(r"\s+", " ", t) not in texto: falhas.append(f"declaração {v['declaracao']}: falta {t!r}")
    for cab in v["arvore"]:
        esperadas += 1 + len(cab["filhos"])
        for f in cab["filhos"]:
            m = re.sub(r"\s+", " ", f["mensagem"]).strip()
            if m and m not in texto: falhas.append(f"declaração {v['declaracao']}: falta a mensagem de {f['chave']}")
if p.imagens != esperadas: falhas.append(f"{p.imagens} imagens na árvore, esperadas {esperadas}")
if "Relatório de consistência" not in texto: falhas.append("falta o título")
print("\n".join(falhas) if falhas else f"relatório conferido: {esperadas} nós, {p.imagens} imagens")
sys.exit(1 if falhas else 0)
PY
