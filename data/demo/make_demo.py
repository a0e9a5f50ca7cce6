#!/usr/bin/env python3
"""Writes demo.jsonl, the bundled demo catalogue, for `vardo load`.

The output is committed; run this only to change the catalogue:
    python3 data/demo/make_demo.py > data/demo/demo.jsonl

The catalogue is made from a fixed seed, so it is the same on every run.
It holds books, journal articles and theses of a small academic library,
with the kinds of dirt that the cleaning tools exist for: double spaces,
blanks at field ends, empty subfields, control characters, repeated
subjects, blanks around punctuation, several subjects typed into one field,
non-filing prefixes in angle brackets, near-duplicate records and a few
logically deleted records.

Tags (see demo.fdt): 020 ISBN, 022 ISSN, 041 language, 100 author,
245 title, 250 edition, 260 imprint, 300 extent, 490 series, 500 note,
502 thesis note, 520 abstract, 650 subject, 651 place, 700 added author,
773 host item, 856 link, 900 document type; 090 (a local call number
in some theses) is deliberately left out of the FDT.
"""
import json
import random
import sys

rnd = random.Random(20041)

SURNAMES = ["García", "Fernández", "López", "Martínez", "Rodríguez", "Pérez", "Gómez", "Sánchez",
            "Díaz", "Álvarez", "Romero", "Torres", "Ruiz", "Vázquez", "Castro", "Ortega", "Molina",
            "Morales", "Herrera", "Medina", "Aguirre", "Quiroga", "Ibáñez", "Peña", "Sosa",
            "Bianchi", "Rossi", "Ferreira", "Souza", "Oliveira", "Smith", "Johnson", "Brown",
            "Taylor", "Walker", "Müller", "Schmidt", "Dubois", "Lefèvre", "Nakamura"]
GIVEN = ["Juan", "María", "Ana", "Carlos", "Lucía", "José", "Elena", "Miguel", "Sofía", "Pablo",
         "Inés", "Andrés", "Beatriz", "Tomás", "Julia", "Raúl", "Marta", "Diego", "Paula", "Hugo",
         "Claire", "John", "Mary", "Peter", "Helen", "Klaus", "Giulia", "João", "Akira", "Noemí"]

PLACES = [("Buenos Aires", ["Eudeba", "Paidós", "Siglo XXI Editores", "Sudamericana"]),
          ("Madrid", ["Alianza Editorial", "Cátedra", "Síntesis", "Trotta"]),
          ("México", ["Fondo de Cultura Económica", "Siglo XXI Editores", "UNAM"]),
          ("Santiago de Chile", ["Editorial Universitaria", "LOM Ediciones"]),
          ("Montevideo", ["Banda Oriental", "Trilce"]),
          ("São Paulo", ["Companhia das Letras", "Cortez Editora"]),
          ("London", ["Routledge", "Facet Publishing"]),
          ("Chicago", ["ALA Editions", "University of Chicago Press"]),
          ("Paris", ["Éditions du Cercle de la Librairie", "Gallimard"])]

SUBJECTS = [
    ("Bibliotecas universitarias", "es"), ("Catalogación", "es"), ("Indización", "es"),
    ("Lectura", "es"), ("Alfabetización informacional", "es"), ("Archivos", "es"),
    ("Historia económica", "es"), ("Educación superior", "es"), ("Salud pública", "es"),
    ("Agricultura", "es"), ("Recursos hídricos", "es"), ("Cambio climático", "es"),
    ("Literatura argentina", "es"), ("Poesía", "es"), ("Migración", "es"),
    ("Política social", "es"), ("Derechos humanos", "es"), ("Pueblos indígenas", "es"),
    ("Library science", "en"), ("Cataloging", "en"), ("Metadata", "en"),
    ("Information retrieval", "en"), ("Digital libraries", "en"), ("Public health", "en"),
    ("Economic history", "en"), ("Climate change", "en"), ("Higher education", "en"),
]
SUBDIV = ["Historia", "Estudio de casos", "Metodología", "Estadísticas", "Congresos", "Manuales"]
GEO = ["Argentina", "Uruguay", "Chile", "México", "España", "Brasil", "América Latina", "Perú"]

TITLES_ES = [
    ("Manual de catalogación descriptiva", "normas y ejemplos"),
    ("La biblioteca universitaria en tiempos de cambio", None),
    ("Historia de la lectura en el Río de la Plata", "siglos XIX y XX"),
    ("Introducción a la indización", "teoría y práctica"),
    ("Archivos y memoria colectiva", None),
    ("El agua como bien común", "conflictos y políticas"),
    ("Economía agraria de la pampa húmeda", None),
    ("Salud y sociedad", "ensayos de salud pública"),
    ("Poesía reunida", None),
    ("Migraciones en el Cono Sur", "un enfoque regional"),
    ("Políticas sociales comparadas", None),
    ("Los pueblos originarios y el Estado", None),
    ("Alfabetización informacional en la escuela media", "una propuesta didáctica"),
    ("Clima, suelos y cultivos", None),
    ("Derechos humanos y memoria", "debates actuales"),
    ("La educación superior en América Latina", "diagnóstico y perspectivas"),
    ("Cuentos completos", None),
    ("Estadística aplicada a las ciencias sociales", None),
    ("La ciudad y sus bibliotecas", "crónica de un siglo"),
    ("Gestión de colecciones", "selección, adquisición y descarte"),
]
TITLES_EN = [
    ("Introduction to cataloging and classification", None),
    ("Metadata for digital collections", "a how-to-do-it manual"),
    ("Information retrieval", "principles and practice"),
    ("The academic library in transition", None),
    ("Public health in the Americas", "a historical survey"),
    ("Climate change and water resources", None),
    ("Digital libraries", "policy, planning and practice"),
    ("Economic history of South America", None),
]
ARTICLE_TITLES = [
    "Uso de la colección de referencia en una biblioteca universitaria",
    "Calidad de los registros bibliográficos: un estudio de caso",
    "Indización automática de artículos científicos en español",
    "Hábitos de lectura de estudiantes de primer año",
    "La conservación preventiva en archivos municipales",
    "Acceso abierto y repositorios institucionales en la región",
    "Evaluación de catálogos en línea de acceso público",
    "Precios agrícolas y crisis de 1930",
    "Vigilancia epidemiológica en zonas rurales",
    "Sequías y gestión del agua en cuencas andinas",
    "Measuring the impact of library instruction",
    "Duplicate detection in union catalogues",
    "Authority control for personal names",
    "Students and the research process",
]
JOURNALS = [("Revista Española de Documentación Científica", "0210-0614"),
            ("Información, Cultura y Sociedad", "1514-8327"),
            ("Investigación Bibliotecológica", "0187-358X"),
            ("Desarrollo Económico", "0046-001X"),
            ("Salud Colectiva", "1669-2381"),
            ("Library Quarterly", "0024-2519"),
            ("Cataloging & Classification Quarterly", "0163-9374")]
UNIVERSITIES = ["Universidad de Buenos Aires", "Universidad Nacional de La Plata",
                "Universidad de la República", "Universidad de Chile", "UNAM",
                "Universidad Complutense de Madrid", "Universidade de São Paulo"]
DEGREES = ["Tesis (Licenciatura)", "Tesis (Maestría)", "Tesis (Doctorado)"]
SERIES = ["Biblioteca de la Ciencia de la Información", "Colección Manuales", "Serie Estudios",
          "Cuadernos de Trabajo"]
NOTES = ["Incluye bibliografía.", "Incluye índice.", "Bibliografía: p. 201-215.",
         "Traducción de la edición original en inglés.", "Contiene ilustraciones y mapas.",
         "Includes bibliographical references and index.", "Edición revisada y aumentada.",
         "Ejemplar con dedicatoria del autor."]


def person():
    return "%s, %s" % (rnd.choice(SURNAMES), rnd.choice(GIVEN))


def isbn():
    digits = [rnd.randint(0, 9) for _ in range(12)]
    digits[:3] = [9, 7, 8]
    check = (10 - sum(d * (1 if i % 2 == 0 else 3) for i, d in enumerate(digits)) % 10) % 10
    return "".join(map(str, digits)) + str(check)


def subjects(lang, n):
    pool = [s for s, l in SUBJECTS if l == lang] or [s for s, _ in SUBJECTS]
    out = []
    for s in rnd.sample(pool, min(n, len(pool))):
        text = "^a" + s
        r = rnd.random()
        if r < 0.3:
            text += "^x" + rnd.choice(SUBDIV)
        if r > 0.75:
            text += "^z" + rnd.choice(GEO)
        out.append([650, text])
    return out


# Subjects that fit each title (the same order as TITLES_ES, TITLES_EN).
TOPICS_ES = [["Catalogación"], ["Bibliotecas universitarias", "Educación superior"],
             ["Lectura"], ["Indización"], ["Archivos"], ["Recursos hídricos", "Política social"],
             ["Historia económica", "Agricultura"], ["Salud pública"], ["Poesía"], ["Migración"],
             ["Política social"], ["Pueblos indígenas", "Derechos humanos"],
             ["Alfabetización informacional", "Lectura"], ["Agricultura", "Cambio climático"],
             ["Derechos humanos"], ["Educación superior"], ["Literatura argentina"],
             ["Educación superior"], ["Bibliotecas universitarias", "Lectura"], ["Catalogación"]]
TOPICS_EN = [["Cataloging", "Library science"], ["Metadata", "Digital libraries"],
             ["Information retrieval"], ["Library science", "Higher education"], ["Public health"],
             ["Climate change"], ["Digital libraries", "Metadata"], ["Economic history"]]


def topical(topics, lang):
    out = []
    for s in topics:
        text = "^a" + s
        r = rnd.random()
        if r < 0.3:
            text += "^x" + rnd.choice(SUBDIV)
        if r > 0.75:
            text += "^z" + rnd.choice(GEO)
        out.append([650, text])
    if rnd.random() < 0.3:
        out += subjects(lang, 1)
    return out


def book(lang):
    titles, topics = (TITLES_ES, TOPICS_ES) if lang == "es" else (TITLES_EN, TOPICS_EN)
    n = rnd.randrange(len(titles))
    title, sub = titles[n]
    author = person()
    year = rnd.randint(1968, 2004)
    if lang == "es":
        place, publishers = rnd.choice(PLACES[:6])
    else:
        place, publishers = rnd.choice(PLACES[6:8])
    f = [[20, "^a" + isbn()], [41, "^a" + ("spa" if lang == "es" else "eng")],
         [100, "^a" + author + ("^d19%02d-" % rnd.randint(20, 70) if rnd.random() < 0.3 else "")]]
    t = "^a" + title + ("^b" + sub if sub else "") + "^c" + author.split(", ")[1] + " " + author.split(", ")[0]
    f.append([245, t])
    if rnd.random() < 0.25:
        f.append([250, "^a%da ed." % rnd.randint(2, 5)])
    f.append([260, "^a%s^b%s^c%d" % (place, rnd.choice(publishers), year)])
    f.append([300, "^a%d p.^bil.^c%d cm" % (rnd.randint(80, 620), rnd.choice([21, 23, 24, 28]))])
    if rnd.random() < 0.3:
        f.append([490, "^a%s^v%d" % (rnd.choice(SERIES), rnd.randint(1, 60))])
    for _ in range(rnd.choice([0, 1, 1, 2])):
        f.append([500, "^a" + rnd.choice(NOTES)])
    f += topical(topics[n], lang)
    for _ in range(rnd.choice([0, 0, 1, 2])):
        f.append([700, "^a" + person()])
    f.append([900, "^aLibro"])
    return f


def article():
    title = rnd.choice(ARTICLE_TITLES)
    lang = "eng" if title[0] in "MDASC" and " " in title and title.split()[0] in (
        "Measuring", "Duplicate", "Authority", "Students") else "spa"
    journal, issn = rnd.choice(JOURNALS)
    year = rnd.randint(1985, 2004)
    f = [[22, "^a" + issn], [41, "^a" + lang], [100, "^a" + person()], [245, "^a" + title]]
    for _ in range(rnd.choice([0, 1, 2, 3])):
        f.append([700, "^a" + person()])
    start = rnd.randint(1, 300)
    f.append([773, "^t%s^gVol. %d, no. %d (%d), p. %d-%d" % (journal, rnd.randint(1, 40),
                                                            rnd.randint(1, 4), year, start,
                                                            start + rnd.randint(8, 30))])
    f.append([260, "^c%d" % year])
    if rnd.random() < 0.6:
        f.append([520, "^aSe analiza " + title[0].lower() + title[1:] + " a partir de datos de "
                  + rnd.choice(GEO) + " y se proponen líneas de trabajo futuras."])
    f += subjects("es" if lang == "spa" else "en", rnd.randint(1, 3))
    if rnd.random() < 0.3:
        f.append([856, "^uhttp://revistas.example.org/art%05d" % rnd.randint(1, 99999)])
    f.append([900, "^aArtículo"])
    return f


def thesis():
    author = person()
    subject = rnd.choice([s for s, l in SUBJECTS if l == "es"])
    title = "%s en %s" % (subject, rnd.choice(GEO))
    year = rnd.randint(1975, 2004)
    uni = rnd.choice(UNIVERSITIES)
    f = [[41, "^aspa"], [100, "^a" + author], [245, "^a" + title + "^b" + rnd.choice(
        ["un estudio de caso", "análisis de su evolución", "diagnóstico y propuestas",
         "aportes para su estudio"])],
         [260, "^a%s^c%d" % (rnd.choice(["Buenos Aires", "La Plata", "Montevideo", "Santiago de Chile",
                                         "México", "Madrid", "São Paulo"]), year)],
         [300, "^a%d h." % rnd.randint(90, 480)],
         [502, "^a%s--%s, %d" % (rnd.choice(DEGREES), uni, year)],
         [700, "^a" + person() + "^edirector"]]
    f += subjects("es", rnd.randint(1, 2))
    if rnd.random() < 0.5:
        f.append([520, "^aEl trabajo estudia " + subject.lower() + " y discute sus implicancias."])
    if rnd.random() < 0.4:
        # A local call number: a tag the field definition table does not know.
        f.append([90, "^aT-%03d" % rnd.randint(1, 400)])
    f.append([900, "^aTesis"])
    return f


def dirty(f, i):
    """Damages a record the way hurried data entry does."""
    kind = i % 9
    idx = [k for k, (tag, _) in enumerate(f) if tag in (245, 100, 500, 520, 650, 260)]
    if not idx:
        return
    k = rnd.choice(idx)
    tag, text = f[k]
    if kind == 0:    # double spaces
        text = text.replace(" ", "  ", 2)
    elif kind == 1:  # trailing blanks
        text = text + "   "
    elif kind == 2:  # empty subfield
        text = text + "^b"
    elif kind == 3:  # control characters (a tab and a bell typed into a note)
        f.append([500, "^aDonación\tde la familia del autor.\x07"])
        return
    elif kind == 4:  # repeated subject
        subj = [x for x in f if x[0] == 650]
        if subj:
            f.append(list(subj[0]))
        return
    elif kind == 5:  # blanks around punctuation in the imprint
        for x in f:
            if x[0] == 260:
                x[1] = x[1].replace("^b", " :^b").replace("^c", " ,^c")
        return
    elif kind == 6:  # several subjects typed into one field
        f.append([650, "^aHistoria; Sociedad; Cultura"])
        return
    elif kind == 7:  # leading blank
        text = " " + text
    elif kind == 8:  # an empty first subfield
        text = "^a" + text
    f[k] = [tag, text]


def main():
    records = []
    makers = [book] * 5 + [article] * 3 + [thesis] * 2
    for i in range(280):
        maker = rnd.choice(makers)
        f = maker(rnd.choice(["es", "es", "es", "en"])) if maker is book else maker()
        if i % 4 == 0:
            dirty(f, i // 4)
        records.append({"fields": f})

    # Non-filing prefixes marked with angle brackets (the Filing run reads them).
    for title in ["<La> memoria de los archivos", "<El> libro antiguo en América",
                  "<Los> catálogos colectivos", "<The> art of indexing", "<A> history of reading"]:
        records.append({"fields": [[41, "^aspa" if title[1] in "LE" else "^aeng"],
                                   [100, "^a" + person()], [245, "^a" + title],
                                   [260, "^aBuenos Aires^bEudeba^c%d" % rnd.randint(1980, 2003)],
                                   [650, "^aLibro antiguo"], [900, "^aLibro"]]})

    # Near-duplicates: the same book typed twice with small differences.
    for k in (3, 17, 42, 88, 130, 201):
        twin = json.loads(json.dumps(records[k]))
        for x in twin["fields"]:
            if x[0] == 245:
                x[1] = x[1].replace("^b", " ^b").rstrip(".") + "."
            if x[0] == 100:
                x[1] = x[1].upper() if k % 2 else x[1].replace(", ", ",")
        twin["fields"] = [x for x in twin["fields"] if x[0] not in (20, 300)]
        records.append(twin)

    # Records withdrawn from the catalogue (logically deleted).
    for k in (11, 57, 99, 150, 222, 260):
        records[k]["status"] = "deleted"

    rnd.shuffle(records)
    for r in records:
        sys.stdout.write(json.dumps(r, ensure_ascii=False) + "\n")


if __name__ == "__main__":
    main()
