#!/usr/bin/env python3
"""Writes en.jsonl, es.jsonl and pt.jsonl, the sources of the parameter help database
brmpar (one per language), for `vardo load`.

The output is committed; run this only to change the help texts:
    python3 data/params/make_brmpar.py data/params

Record layout (one record per parameter of one file type):
  1  file type (the key of the inverted file, through brmpar.fst)
  2  parameter name
  3  one-line description
  4  value type: charN (text of at most N characters, N one digit),
     free (text of at most 1000 characters), bool (a 0/1 choice)
  5  help text in HTML
  6  present only on headings (entries that group others; not settable)
"""
import json
import os
import sys

SYSPAR = "syspar.par"
DBPAR = "*.par"

# (file type, name, type, heading, {lang: (description, html)})
ENTRIES = [
    (SYSPAR, "Folders", "free", True, {
        "en": ("Folders of the engine",
               "<p>Where the engine looks for databases. The engine reads <tt>syspar.par</tt> when the program starts: "
               "a change counts from the next start. Relative paths are taken from the folder of <tt>syspar.par</tt>.</p>"),
        "es": ("Carpetas del motor",
               "<p>Dónde busca el motor las bases de datos. El motor lee <tt>syspar.par</tt> al iniciarse el programa: "
               "un cambio cuenta desde el próximo inicio. Las rutas relativas se toman desde la carpeta de <tt>syspar.par</tt>.</p>")}),
    (SYSPAR, "1", "free", False, {
        "en": ("Data folder",
               "<p>Folder of the databases that are named without a folder: <tt>catalogue</tt> is then "
               "this folder + <tt>catalogue.mst</tt>. A path with a folder is taken as it is. "
               "For example <tt>/srv/bases/</tt>.</p>"),
        "es": ("Carpeta de datos",
               "<p>Carpeta de las bases de datos que se nombran sin carpeta: <tt>catalogo</tt> es entonces "
               "esta carpeta + <tt>catalogo.mst</tt>. Una ruta con carpeta se toma tal como está. "
               "Por ejemplo <tt>/srv/bases/</tt>.</p>")}),
    (SYSPAR, "Tables", "free", True, {
        "en": ("Character tables",
               "<p>Tables that decide how keys are upper-cased and which characters make words. "
               "A table the engine cannot use makes it refuse the whole file and work with its built-in tables.</p>"),
        "es": ("Tablas de caracteres",
               "<p>Tablas que deciden cómo se pasan las claves a mayúsculas y qué caracteres forman palabras. "
               "Si el motor no puede usar una tabla, rechaza el archivo entero y trabaja con sus tablas propias.</p>")}),
    (SYSPAR, "3", "free", False, {
        "en": ("Upper-case table file",
               "<p>File of exactly 256 decimal numbers, one per line: line <i>i</i> (from 0) gives the upper-case byte of byte <i>i</i>. "
               "Byte 0 must give 0 and no other byte 0, and an upper-case byte must give itself. "
               "Used for index keys, key searches and the upper-case mode of print formats. "
               "Empty: the built-in table of the storage code page.</p>"),
        "es": ("Archivo de la tabla de mayúsculas",
               "<p>Archivo de exactamente 256 números decimales, uno por línea: la línea <i>i</i> (desde 0) da la mayúscula del byte <i>i</i>. "
               "El byte 0 debe dar 0 y ningún otro byte 0, y una mayúscula debe darse a sí misma. "
               "Se usa para las claves del índice, la búsqueda de claves y el modo mayúsculas de los formatos. "
               "Vacío: la tabla propia de la página de códigos de almacenamiento.</p>")}),
    (SYSPAR, "4", "free", False, {
        "en": ("Alphabet table file",
               "<p>File of at most 256 byte values (1 to 255), one per line, that count as letters when keys are made "
               "word by word. The digits 0 to 9 always count. Empty: the letters of the case table.</p>"),
        "es": ("Archivo de la tabla de alfabeto",
               "<p>Archivo de hasta 256 valores de byte (1 a 255), uno por línea, que cuentan como letras cuando las claves "
               "se forman palabra por palabra. Los dígitos 0 a 9 cuentan siempre. Vacío: las letras de la tabla de mayúsculas.</p>")}),
    (SYSPAR, "Locks", "free", True, {
        "en": ("Record locks",
               "<p>How the engine shares a database with other sessions.</p>"),
        "es": ("Bloqueo de registros",
               "<p>Cómo comparte el motor una base de datos con otras sesiones.</p>")}),
    (SYSPAR, "10", "char5", False, {
        "en": ("Lock wait (milliseconds)",
               "<p>How long a read with lock waits for a record that another session holds, "
               "from 0 to 99999 milliseconds; 0 reports a locked record at once. Empty: 3000.</p>"),
        "es": ("Espera de bloqueo (milisegundos)",
               "<p>Cuánto espera una lectura con bloqueo un registro que otra sesión tiene bloqueado, "
               "de 0 a 99999 milisegundos; 0 informa enseguida de un registro bloqueado. Vacío: 3000.</p>")}),
    (SYSPAR, "11", "bool", False, {
        "en": ("Read only",
               "<p><b>1</b>: no database is changed: every write, backup and index update is refused, "
               "so the runs that change records stop before they start. Exports still work. <b>0</b>: normal use.</p>"),
        "es": ("Solo lectura",
               "<p><b>1</b>: no se modifica ninguna base de datos: se rechaza toda escritura, copia de respaldo y actualización del índice, "
               "así que los procesos que modifican registros se detienen antes de empezar. Las exportaciones siguen funcionando. "
               "<b>0</b>: uso normal.</p>")}),
    (DBPAR, "Files", "free", True, {
        "en": ("Files of the database",
               "<p>A database parameter file (<i>name</i>.par) tells where the files of the database "
               "<i>name</i> are.  Opening it in Bramble opens that database.</p>"),
        "es": ("Archivos de la base de datos",
               "<p>Un archivo de parámetros de base de datos (<i>nombre</i>.par) indica dónde están los "
               "archivos de la base <i>nombre</i>.  Abrirlo en Bramble abre esa base de datos.</p>")}),
    (DBPAR, "2", "free", False, {
        "en": ("Folder of the master file",
               "<p>Folder of <i>name</i>.mst and <i>name</i>.xrf, ending in the folder separator. "
               "Bramble's <b>Open</b> reads this line.</p>"),
        "es": ("Carpeta del archivo maestro",
               "<p>Carpeta de <i>nombre</i>.mst y <i>nombre</i>.xrf, terminada en el separador de carpetas. "
               "<b>Abrir</b> de Bramble lee esta línea.</p>")}),
    (DBPAR, "3", "free", False, {
        "en": ("Folder of the inverted file",
               "<p>Folder of <i>name</i>.ifp. Empty: the folder of the master file. <i>Kept in the file; not used yet: the engine uses the file beside the master file.</i></p>"),
        "es": ("Carpeta del archivo invertido",
               "<p>Carpeta de <i>nombre</i>.ifp. Vacío: la carpeta del archivo maestro. <i>Se guarda en el archivo; aún no se usa: el motor usa el archivo junto al archivo maestro.</i></p>")}),
    (DBPAR, "4", "free", False, {
        "en": ("Field select table",
               "<p>Path of the field select table (.fst) that makes the keys. Empty: <i>name</i>.fst. <i>Kept in the file; not used yet: the engine uses the file beside the master file.</i></p>"),
        "es": ("Tabla de selección de campos",
               "<p>Ruta de la tabla de selección de campos (.fst) que forma las claves. Vacío: <i>nombre</i>.fst. <i>Se guarda en el archivo; aún no se usa: el motor usa el archivo junto al archivo maestro.</i></p>")}),
    (DBPAR, "5", "free", False, {
        "en": ("Stop-word file",
               "<p>Path of the stop-word list (.stw): words left out of word keys. Empty: <i>name</i>.stw. <i>Kept in the file; not used yet: the engine uses the file beside the master file.</i></p>"),
        "es": ("Archivo de palabras vacías",
               "<p>Ruta de la lista de palabras vacías (.stw): palabras que no forman claves. Vacío: <i>nombre</i>.stw. <i>Se guarda en el archivo; aún no se usa: el motor usa el archivo junto al archivo maestro.</i></p>")}),
    (DBPAR, "6", "free", False, {
        "en": ("Field definition table",
               "<p>Path of the field definition table (.fdt) that the tomography reads. Empty: <i>name</i>.fdt. <i>Kept in the file; not used yet: the engine uses the file beside the master file.</i></p>"),
        "es": ("Tabla de definición de campos",
               "<p>Ruta de la tabla de definición de campos (.fdt) que lee la tomografía. Vacío: <i>nombre</i>.fdt. <i>Se guarda en el archivo; aún no se usa: el motor usa el archivo junto al archivo maestro.</i></p>")}),
    (DBPAR, "7", "bool", False, {
        "en": ("Read only",
               "<p><b>1</b>: this database is not changed when it is opened through this file: every write, backup "
               "and index update is refused. <b>0</b>: normal use. Parameter 11 of syspar.par does the same for every database.</p>"),
        "es": ("Solo lectura",
               "<p><b>1</b>: esta base de datos no se modifica cuando se abre mediante este archivo: se rechaza toda escritura, "
               "copia de respaldo y actualización del índice. <b>0</b>: uso normal. El parámetro 11 de syspar.par hace lo mismo con todas las bases.</p>")}),
]

# Portuguese texts, by (file type, name), kept apart so the table above reads
# as it did.
PORTUGUESE = {
    (SYSPAR, "Folders"): ("Pastas do motor",
        "<p>Onde o motor procura as bases de dados. O motor lê <tt>syspar.par</tt> quando o programa inicia: "
        "uma alteração vale a partir do próximo início. Caminhos relativos são tomados a partir da pasta de <tt>syspar.par</tt>.</p>"),
    (SYSPAR, "1"): ("Pasta de dados",
        "<p>Pasta das bases de dados nomeadas sem pasta: <tt>catalogo</tt> é então "
        "esta pasta + <tt>catalogo.mst</tt>. Um caminho com pasta é tomado como está. "
        "Por exemplo <tt>/srv/bases/</tt>.</p>"),
    (SYSPAR, "Tables"): ("Tabelas de caracteres",
        "<p>Tabelas que decidem como as chaves passam a maiúsculas e quais caracteres formam palavras. "
        "Se o motor não puder usar uma tabela, recusa o arquivo inteiro e trabalha com suas tabelas internas.</p>"),
    (SYSPAR, "3"): ("Arquivo da tabela de maiúsculas",
        "<p>Arquivo de exatamente 256 números decimais, um por linha: a linha <i>i</i> (a partir de 0) dá a maiúscula do byte <i>i</i>. "
        "O byte 0 deve dar 0 e nenhum outro byte 0, e uma maiúscula deve dar a si mesma. "
        "Usada nas chaves do índice, na busca de chaves e no modo maiúsculas dos formatos. "
        "Vazio: a tabela interna da página de códigos de armazenamento.</p>"),
    (SYSPAR, "4"): ("Arquivo da tabela de alfabeto",
        "<p>Arquivo de até 256 valores de byte (1 a 255), um por linha, que contam como letras quando as chaves "
        "são formadas palavra por palavra. Os dígitos 0 a 9 contam sempre. Vazio: as letras da tabela de maiúsculas.</p>"),
    (SYSPAR, "Locks"): ("Bloqueio de registros",
        "<p>Como o motor compartilha uma base de dados com outras sessões.</p>"),
    (SYSPAR, "10"): ("Espera de bloqueio (milissegundos)",
        "<p>Quanto tempo uma leitura com bloqueio espera por um registro que outra sessão mantém bloqueado, "
        "de 0 a 99999 milissegundos; 0 informa de imediato um registro bloqueado. Vazio: 3000.</p>"),
    (SYSPAR, "11"): ("Somente leitura",
        "<p><b>1</b>: nenhuma base de dados é alterada: toda gravação, cópia de segurança e atualização do índice é recusada, "
        "de modo que os processos que alteram registros param antes de começar. As exportações continuam funcionando. "
        "<b>0</b>: uso normal.</p>"),
    (DBPAR, "Files"): ("Arquivos da base de dados",
        "<p>Um arquivo de parâmetros de base de dados (<i>nome</i>.par) indica onde estão os "
        "arquivos da base <i>nome</i>.  Abri-lo no Bramble abre essa base de dados.</p>"),
    (DBPAR, "2"): ("Pasta do arquivo mestre",
        "<p>Pasta de <i>nome</i>.mst e <i>nome</i>.xrf, terminada no separador de pastas. "
        "<b>Abrir</b> do Bramble lê esta linha.</p>"),
    (DBPAR, "3"): ("Pasta do arquivo invertido",
        "<p>Pasta de <i>nome</i>.ifp. Vazio: a pasta do arquivo mestre. <i>Guardado no arquivo; ainda não usado: o motor usa o arquivo ao lado do arquivo mestre.</i></p>"),
    (DBPAR, "4"): ("Tabela de seleção de campos",
        "<p>Caminho da tabela de seleção de campos (.fst) que forma as chaves. Vazio: <i>nome</i>.fst. <i>Guardado no arquivo; ainda não usado: o motor usa o arquivo ao lado do arquivo mestre.</i></p>"),
    (DBPAR, "5"): ("Arquivo de palavras vazias",
        "<p>Caminho da lista de palavras vazias (.stw): palavras que não formam chaves. Vazio: <i>nome</i>.stw. <i>Guardado no arquivo; ainda não usado: o motor usa o arquivo ao lado do arquivo mestre.</i></p>"),
    (DBPAR, "6"): ("Tabela de definição de campos",
        "<p>Caminho da tabela de definição de campos (.fdt) que a tomografia lê. Vazio: <i>nome</i>.fdt. <i>Guardado no arquivo; ainda não usado: o motor usa o arquivo ao lado do arquivo mestre.</i></p>"),
    (DBPAR, "7"): ("Somente leitura",
        "<p><b>1</b>: esta base de dados não é alterada quando aberta por este arquivo: toda gravação, "
        "cópia de segurança e atualização do índice é recusada. <b>0</b>: uso normal. O parâmetro 11 de syspar.par faz o mesmo com todas as bases.</p>"),
}
for _ftype, _name, _vtype, _heading, _texts in ENTRIES:
    _texts["pt"] = PORTUGUESE[(_ftype, _name)]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    for lang in ("en", "es", "pt"):
        with open(os.path.join(out, lang + ".jsonl"), "w", encoding="utf-8", newline="\n") as f:
            for ftype, name, vtype, heading, texts in ENTRIES:
                desc, html = texts[lang]
                fields = [[1, ftype], [2, name], [3, desc], [4, vtype], [5, html]]
                if heading:
                    fields.append([6, "1"])
                f.write(json.dumps({"fields": fields}, ensure_ascii=False) + "\n")


if __name__ == "__main__":
    main()
