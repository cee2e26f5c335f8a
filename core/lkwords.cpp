// Built-in words of the message table: English and sixteen translations, all
// UTF-8. Words that a language keeps as in English ("OK", "RGB", ...) hold the
// English text. The Polish LKMSG_RATE has no built-in text.
#include "core/lkmsg.h"

namespace {

using TWordRow = const char* const[LKMsgWordCount];

// msEnglish
constexpr TWordRow kEnglish = {
    "Preview",  // LKMSG_PREVIEW
    "Original",  // LKMSG_SOURCE
    "Result",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Cancel",  // LKMSG_CANCEL
    "Lock preview",  // LKMSG_LOCKPREVIEW
    "Copy Result to Original",  // LKMSG_COPYRESULTTOSOURCE
    "Contrast",  // LKMSG_CONTRAST
    "Brightness",  // LKMSG_BRIGHTNESS
    "Hue",  // LKMSG_HUE
    "Saturation",  // LKMSG_SATURATION
    "Value",  // LKMSG_VALUE
    "Base color",  // LKMSG_BASECOLOR
    "New color",  // LKMSG_NEWCOLOR
    "Luminosity",  // LKMSG_LUMINOSITY
    "Red",  // LKMSG_RED
    "Green",  // LKMSG_GREEN
    "Blue",  // LKMSG_BLUE
    "Filter values",  // LKMSG_FILTERVALUES
    "Presets",  // LKMSG_PRESETS
    "Divisor",  // LKMSG_DIVISOR
    "Load",  // LKMSG_LOAD
    "Save",  // LKMSG_SAVE
    "Equalization",  // LKMSG_EQUALIZATION
    "Threshold",  // LKMSG_THRESHOLD
    "Equalize",  // LKMSG_EQUALIZE
    "Histogram",  // LKMSG_HISTOGRAM
    "Gray",  // LKMSG_GRAY
    "Light",  // LKMSG_LIGHT
    "Left",  // LKMSG_LEFT
    "Top",  // LKMSG_TOP
    "Width",  // LKMSG_WIDTH
    "Height",  // LKMSG_HEIGHT
    "Color",  // LKMSG_COLOR
    "Original image quantity",  // LKMSG_SOURCEIMAGEQUANTITY
    "Lens",  // LKMSG_LENS
    "Refraction",  // LKMSG_REFRACTION
    "Parameters Preview",  // LKMSG_PARAMETERSPREVIEW
    "Quality",  // LKMSG_QUALITY
    "DCT method",  // LKMSG_DCTMETHOD
    "Smoothing factor",  // LKMSG_SMOOTHINGFACTOR
    "Gray scale",  // LKMSG_GRAYSCALE
    "Optimal Huffman",  // LKMSG_OPTIMALHUFFMAN
    "Original size",  // LKMSG_ORIGINALSIZE
    "Compressed size",  // LKMSG_COMPRESSEDSIZE
    "Advanced",  // LKMSG_ADVANCED
    "Progressive",  // LKMSG_PROGRESSIVE
    "Compression",  // LKMSG_COMPRESSION
    "Image index",  // LKMSG_IMAGEINDEX
    "Photometric",  // LKMSG_PHOTOMETRIC
    "Scanned document info",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Name",  // LKMSG_NAME
    "Description",  // LKMSG_DESCRIPTION
    "Page name",  // LKMSG_PAGENAME
    "Page number",  // LKMSG_PAGENUMBER
    "of",  // LKMSG_OF
    "Horiz. Position (inch)",  // LKMSG_HORIZPOSITIONINCH
    "Vert. Position (inch)",  // LKMSG_VERTPOSITIONINCH
    "Colors",  // LKMSG_COLORS
    "Transparent",  // LKMSG_TRANSPARENT
    "Transparent color",  // LKMSG_TRANSPARENTCOLOR
    "Interlaced",  // LKMSG_INTERLACED
    "Background",  // LKMSG_BACKGROUND
    "Horiz. Position",  // LKMSG_HORIZPOSITION
    "Vert. Position",  // LKMSG_VERTPOSITION
    "Delay time",  // LKMSG_DELAYTIME
    "Filter",  // LKMSG_FILTER
    "Wave",  // LKMSG_WAVE
    "Amplitude",  // LKMSG_AMPLITUDE
    "Wave length",  // LKMSG_WAVELENGTH
    "Phase",  // LKMSG_PHASE
    "Reflective",  // LKMSG_REFLECTIVE
    "User filter",  // LKMSG_USERFILTER
    "Morphing filters",  // LKMSG_MORPHFILTER
    "Window size",  // LKMSG_WINDOWSIZE
    "Maximum",  // LKMSG_MAXIMUM
    "Minimum",  // LKMSG_MINIMUM
    "Opening",  // LKMSG_OPEN
    "Closing",  // LKMSG_CLOSE
    "Rotate",  // LKMSG_ROTATE
    "Flip",  // LKMSG_FLIP
    "Horizontal",  // LKMSG_FLIPHOR
    "Vertical",  // LKMSG_FLIPVER
    "Frequency domain image",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Select the region to clean",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Clear",  // LKMSG_CLEAR
    "Reset",  // LKMSG_RESET
    "Animate",  // LKMSG_ANIMATE
    "Load filter",  // LKMSG_LOADFILTER
    "Save filter",  // LKMSG_SAVEFILTER
    "Bump map",  // LKMSG_BUMPMAP
    "Print",  // LKMSG_PRINT
    "Margins",  // LKMSG_MARGINS
    "inches",  // LKMSG_INCHES
    "Right",  // LKMSG_RIGHT
    "Bottom",  // LKMSG_BOTTOM
    "Position",  // LKMSG_POSITION
    "Size",  // LKMSG_SIZE
    "Normal",  // LKMSG_NORMAL
    "Fit to page",  // LKMSG_FITTOPAGE
    "Stretch to page",  // LKMSG_STRETCHTOPAGE
    "Specified size",  // LKMSG_SPECIFIEDSIZE
    "Gamma correction",  // LKMSG_GAMMACORRECTION
    "Value",  // LKMSG_VALUE2
    "Print Setup",  // LKMSG_PRINTSETUP
    "Left Margin",  // LKMSG_LEFTMARGIN
    "Top Margin",  // LKMSG_TOPMARGIN
    "Right Margin",  // LKMSG_RIGHTMARGIN
    "Bottom Margin",  // LKMSG_BOTTOMMARGIN
    "Location/size",  // LKMSG_LOCATIONSIZE
    "Top Left",  // LKMSG_TOPLEFT
    "Top Center",  // LKMSG_TOPCENTER
    "Top Right",  // LKMSG_TOPRIGHT
    "Center Left",  // LKMSG_CENTERLEFT
    "Center",  // LKMSG_CENTER
    "Center Right",  // LKMSG_CENTERRIGHT
    "Bottom Left",  // LKMSG_BOTTOMLEFT
    "Bottom Center",  // LKMSG_BOTTOMCENTER
    "Bottom Right",  // LKMSG_BOTTOMRIGHT
    "Close",  // LKMSG_CLOSE2
    "Apply",  // LKMSG_APPLY
    "Measure Units",  // LKMSG_MEASUREUNITS
    "Units",  // LKMSG_UNITS
    "Rate",  // LKMSG_RATE
    "All graphics",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "File",  // LKMSG_FILE
    "Mem",  // LKMSG_MEM
    "Automatically updates your preview with the changes you have selected",  // LKMSG_LOCKPREVIEWHINT
    "Print All",  // LKMSG_PRINTALL
    "Print Selected",  // LKMSG_PRINTSELECTED
    "Common Graphic Files",  // LKMSG_COMMONGRAPHICFILES
    "All Files",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Sharpen",  // LKMSG_SHARPEN
    "Channels",  // LKMSG_CHANNELS
};

// msItalian
constexpr TWordRow kItalian = {
    "Anteprima",  // LKMSG_PREVIEW
    "Originale",  // LKMSG_SOURCE
    "Risultato",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Annulla",  // LKMSG_CANCEL
    "Blocca anteprima",  // LKMSG_LOCKPREVIEW
    "Copia il risultato nell'originale",  // LKMSG_COPYRESULTTOSOURCE
    "Contrasto",  // LKMSG_CONTRAST
    "Luminosità",  // LKMSG_BRIGHTNESS
    "Tonalità",  // LKMSG_HUE
    "Saturazione",  // LKMSG_SATURATION
    "Valore",  // LKMSG_VALUE
    "Colore di base",  // LKMSG_BASECOLOR
    "Nuovo colore",  // LKMSG_NEWCOLOR
    "Luminanza",  // LKMSG_LUMINOSITY
    "Rosso",  // LKMSG_RED
    "Verde",  // LKMSG_GREEN
    "Blu",  // LKMSG_BLUE
    "Valori del filtro",  // LKMSG_FILTERVALUES
    "Preimpostazioni",  // LKMSG_PRESETS
    "Divisore",  // LKMSG_DIVISOR
    "Carica",  // LKMSG_LOAD
    "Salva",  // LKMSG_SAVE
    "Equalizzazione",  // LKMSG_EQUALIZATION
    "Soglia",  // LKMSG_THRESHOLD
    "Equalizza",  // LKMSG_EQUALIZE
    "Istogramma",  // LKMSG_HISTOGRAM
    "Grigio",  // LKMSG_GRAY
    "Luce",  // LKMSG_LIGHT
    "Sinistra",  // LKMSG_LEFT
    "Alto",  // LKMSG_TOP
    "Larghezza",  // LKMSG_WIDTH
    "Altezza",  // LKMSG_HEIGHT
    "Colore",  // LKMSG_COLOR
    "Quantità dell'immagine originale",  // LKMSG_SOURCEIMAGEQUANTITY
    "Lente",  // LKMSG_LENS
    "Rifrazione",  // LKMSG_REFRACTION
    "Anteprima parametri",  // LKMSG_PARAMETERSPREVIEW
    "Qualità",  // LKMSG_QUALITY
    "Metodo DCT",  // LKMSG_DCTMETHOD
    "Fattore di smussatura",  // LKMSG_SMOOTHINGFACTOR
    "Scala di grigi",  // LKMSG_GRAYSCALE
    "Huffman ottimale",  // LKMSG_OPTIMALHUFFMAN
    "Dimensione originale",  // LKMSG_ORIGINALSIZE
    "Dimensione compressa",  // LKMSG_COMPRESSEDSIZE
    "Avanzate",  // LKMSG_ADVANCED
    "Progressivo",  // LKMSG_PROGRESSIVE
    "Compressione",  // LKMSG_COMPRESSION
    "Indice immagine",  // LKMSG_IMAGEINDEX
    "Fotometria",  // LKMSG_PHOTOMETRIC
    "Informazioni sul documento acquisito",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Nome",  // LKMSG_NAME
    "Descrizione",  // LKMSG_DESCRIPTION
    "Nome pagina",  // LKMSG_PAGENAME
    "Numero pagina",  // LKMSG_PAGENUMBER
    "di",  // LKMSG_OF
    "Posizione orizz. (pollici)",  // LKMSG_HORIZPOSITIONINCH
    "Posizione vert. (pollici)",  // LKMSG_VERTPOSITIONINCH
    "Colori",  // LKMSG_COLORS
    "Trasparente",  // LKMSG_TRANSPARENT
    "Colore trasparente",  // LKMSG_TRANSPARENTCOLOR
    "Interlacciato",  // LKMSG_INTERLACED
    "Sfondo",  // LKMSG_BACKGROUND
    "Posizione orizz.",  // LKMSG_HORIZPOSITION
    "Posizione vert.",  // LKMSG_VERTPOSITION
    "Tempo di ritardo",  // LKMSG_DELAYTIME
    "Filtro",  // LKMSG_FILTER
    "Onda",  // LKMSG_WAVE
    "Ampiezza",  // LKMSG_AMPLITUDE
    "Lunghezza d'onda",  // LKMSG_WAVELENGTH
    "Fase",  // LKMSG_PHASE
    "Riflettente",  // LKMSG_REFLECTIVE
    "Filtro utente",  // LKMSG_USERFILTER
    "Filtri morfologici",  // LKMSG_MORPHFILTER
    "Dimensione finestra",  // LKMSG_WINDOWSIZE
    "Massimo",  // LKMSG_MAXIMUM
    "Minimo",  // LKMSG_MINIMUM
    "Apertura",  // LKMSG_OPEN
    "Chiusura",  // LKMSG_CLOSE
    "Rotazione",  // LKMSG_ROTATE
    "Capovolgi",  // LKMSG_FLIP
    "Orizzontale",  // LKMSG_FLIPHOR
    "Verticale",  // LKMSG_FLIPVER
    "Immagine nel dominio della frequenza",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Seleziona la regione da pulire",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Cancella",  // LKMSG_CLEAR
    "Reimposta",  // LKMSG_RESET
    "Animazione",  // LKMSG_ANIMATE
    "Carica filtro",  // LKMSG_LOADFILTER
    "Salva filtro",  // LKMSG_SAVEFILTER
    "Mappa di rilievo",  // LKMSG_BUMPMAP
    "Stampa",  // LKMSG_PRINT
    "Margini",  // LKMSG_MARGINS
    "pollici",  // LKMSG_INCHES
    "Destra",  // LKMSG_RIGHT
    "Basso",  // LKMSG_BOTTOM
    "Posizione",  // LKMSG_POSITION
    "Dimensione",  // LKMSG_SIZE
    "Normale",  // LKMSG_NORMAL
    "Adatta alla pagina",  // LKMSG_FITTOPAGE
    "Estendi alla pagina",  // LKMSG_STRETCHTOPAGE
    "Dimensione specificata",  // LKMSG_SPECIFIEDSIZE
    "Correzione gamma",  // LKMSG_GAMMACORRECTION
    "Valore",  // LKMSG_VALUE2
    "Imposta stampante",  // LKMSG_PRINTSETUP
    "Margine sinistro",  // LKMSG_LEFTMARGIN
    "Margine superiore",  // LKMSG_TOPMARGIN
    "Margine destro",  // LKMSG_RIGHTMARGIN
    "Margine inferiore",  // LKMSG_BOTTOMMARGIN
    "Posizione/dimensione",  // LKMSG_LOCATIONSIZE
    "In alto a sinistra",  // LKMSG_TOPLEFT
    "In alto al centro",  // LKMSG_TOPCENTER
    "In alto a destra",  // LKMSG_TOPRIGHT
    "Al centro a sinistra",  // LKMSG_CENTERLEFT
    "Al centro",  // LKMSG_CENTER
    "Al centro a destra",  // LKMSG_CENTERRIGHT
    "In basso a sinistra",  // LKMSG_BOTTOMLEFT
    "In basso al centro",  // LKMSG_BOTTOMCENTER
    "In basso a destra",  // LKMSG_BOTTOMRIGHT
    "Chiudi",  // LKMSG_CLOSE2
    "Applica",  // LKMSG_APPLY
    "Unità di misura",  // LKMSG_MEASUREUNITS
    "Unità",  // LKMSG_UNITS
    "Tasso di compressione",  // LKMSG_RATE
    "Tutti i formati grafici",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "File",  // LKMSG_FILE
    "Mem",  // LKMSG_MEM
    "Aggiorna automaticamente l'anteprima con le modifiche selezionate",  // LKMSG_LOCKPREVIEWHINT
    "Stampa tutto",  // LKMSG_PRINTALL
    "Stampa selezione",  // LKMSG_PRINTSELECTED
    "File grafici comuni",  // LKMSG_COMMONGRAPHICFILES
    "Tutti i file",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Nitidezza",  // LKMSG_SHARPEN
    "Canali",  // LKMSG_CHANNELS
};

// msGerman
constexpr TWordRow kGerman = {
    "Vorschau",  // LKMSG_PREVIEW
    "Original",  // LKMSG_SOURCE
    "Ergebnis",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Abbrechen",  // LKMSG_CANCEL
    "Vorschau sperren",  // LKMSG_LOCKPREVIEW
    "Ergebnis ins Original kopieren",  // LKMSG_COPYRESULTTOSOURCE
    "Kontrast",  // LKMSG_CONTRAST
    "Helligkeit",  // LKMSG_BRIGHTNESS
    "Farbton",  // LKMSG_HUE
    "Sättigung",  // LKMSG_SATURATION
    "Hellwert",  // LKMSG_VALUE
    "Grundfarbe",  // LKMSG_BASECOLOR
    "Neue Farbe",  // LKMSG_NEWCOLOR
    "Luminanz",  // LKMSG_LUMINOSITY
    "Rot",  // LKMSG_RED
    "Grün",  // LKMSG_GREEN
    "Blau",  // LKMSG_BLUE
    "Filterwerte",  // LKMSG_FILTERVALUES
    "Voreinstellungen",  // LKMSG_PRESETS
    "Divisor",  // LKMSG_DIVISOR
    "Laden",  // LKMSG_LOAD
    "Speichern",  // LKMSG_SAVE
    "Tonwertangleichung",  // LKMSG_EQUALIZATION
    "Schwellenwert",  // LKMSG_THRESHOLD
    "Angleichen",  // LKMSG_EQUALIZE
    "Histogramm",  // LKMSG_HISTOGRAM
    "Grau",  // LKMSG_GRAY
    "Licht",  // LKMSG_LIGHT
    "Links",  // LKMSG_LEFT
    "Oben",  // LKMSG_TOP
    "Breite",  // LKMSG_WIDTH
    "Höhe",  // LKMSG_HEIGHT
    "Farbe",  // LKMSG_COLOR
    "Anteil des Originalbilds",  // LKMSG_SOURCEIMAGEQUANTITY
    "Linse",  // LKMSG_LENS
    "Brechung",  // LKMSG_REFRACTION
    "Parametervorschau",  // LKMSG_PARAMETERSPREVIEW
    "Qualität",  // LKMSG_QUALITY
    "DCT-Methode",  // LKMSG_DCTMETHOD
    "Glättungsfaktor",  // LKMSG_SMOOTHINGFACTOR
    "Graustufen",  // LKMSG_GRAYSCALE
    "Optimierte Huffman-Tabellen",  // LKMSG_OPTIMALHUFFMAN
    "Originalgröße",  // LKMSG_ORIGINALSIZE
    "Komprimierte Größe",  // LKMSG_COMPRESSEDSIZE
    "Erweitert",  // LKMSG_ADVANCED
    "Progressiv",  // LKMSG_PROGRESSIVE
    "Komprimierung",  // LKMSG_COMPRESSION
    "Bildindex",  // LKMSG_IMAGEINDEX
    "Photometrische Interpretation",  // LKMSG_PHOTOMETRIC
    "Angaben zum gescannten Dokument",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Name",  // LKMSG_NAME
    "Beschreibung",  // LKMSG_DESCRIPTION
    "Seitenname",  // LKMSG_PAGENAME
    "Seitennummer",  // LKMSG_PAGENUMBER
    "von",  // LKMSG_OF
    "Horiz. Position (Zoll)",  // LKMSG_HORIZPOSITIONINCH
    "Vert. Position (Zoll)",  // LKMSG_VERTPOSITIONINCH
    "Farben",  // LKMSG_COLORS
    "Transparent",  // LKMSG_TRANSPARENT
    "Transparente Farbe",  // LKMSG_TRANSPARENTCOLOR
    "Zeilensprung",  // LKMSG_INTERLACED
    "Hintergrund",  // LKMSG_BACKGROUND
    "Horiz. Position",  // LKMSG_HORIZPOSITION
    "Vert. Position",  // LKMSG_VERTPOSITION
    "Verzögerung",  // LKMSG_DELAYTIME
    "Filter",  // LKMSG_FILTER
    "Welle",  // LKMSG_WAVE
    "Amplitude",  // LKMSG_AMPLITUDE
    "Wellenlänge",  // LKMSG_WAVELENGTH
    "Phase",  // LKMSG_PHASE
    "Reflektierend",  // LKMSG_REFLECTIVE
    "Benutzerfilter",  // LKMSG_USERFILTER
    "Morphologische Filter",  // LKMSG_MORPHFILTER
    "Fenstergröße",  // LKMSG_WINDOWSIZE
    "Maximum",  // LKMSG_MAXIMUM
    "Minimum",  // LKMSG_MINIMUM
    "Öffnung",  // LKMSG_OPEN
    "Schließung",  // LKMSG_CLOSE
    "Drehung",  // LKMSG_ROTATE
    "Spiegeln",  // LKMSG_FLIP
    "Horizontal",  // LKMSG_FLIPHOR
    "Vertikal",  // LKMSG_FLIPVER
    "Bild im Frequenzbereich",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Den zu bereinigenden Bereich auswählen",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Löschen",  // LKMSG_CLEAR
    "Zurücksetzen",  // LKMSG_RESET
    "Animieren",  // LKMSG_ANIMATE
    "Filter laden",  // LKMSG_LOADFILTER
    "Filter speichern",  // LKMSG_SAVEFILTER
    "Bump-Map",  // LKMSG_BUMPMAP
    "Drucken",  // LKMSG_PRINT
    "Ränder",  // LKMSG_MARGINS
    "Zoll",  // LKMSG_INCHES
    "Rechts",  // LKMSG_RIGHT
    "Unten",  // LKMSG_BOTTOM
    "Position",  // LKMSG_POSITION
    "Größe",  // LKMSG_SIZE
    "Normal",  // LKMSG_NORMAL
    "An Seite anpassen",  // LKMSG_FITTOPAGE
    "Auf Seite strecken",  // LKMSG_STRETCHTOPAGE
    "Angegebene Größe",  // LKMSG_SPECIFIEDSIZE
    "Gammakorrektur",  // LKMSG_GAMMACORRECTION
    "Wert",  // LKMSG_VALUE2
    "Druckeinrichtung",  // LKMSG_PRINTSETUP
    "Linker Rand",  // LKMSG_LEFTMARGIN
    "Oberer Rand",  // LKMSG_TOPMARGIN
    "Rechter Rand",  // LKMSG_RIGHTMARGIN
    "Unterer Rand",  // LKMSG_BOTTOMMARGIN
    "Position/Größe",  // LKMSG_LOCATIONSIZE
    "Oben links",  // LKMSG_TOPLEFT
    "Oben Mitte",  // LKMSG_TOPCENTER
    "Oben rechts",  // LKMSG_TOPRIGHT
    "Mitte links",  // LKMSG_CENTERLEFT
    "Mitte",  // LKMSG_CENTER
    "Mitte rechts",  // LKMSG_CENTERRIGHT
    "Unten links",  // LKMSG_BOTTOMLEFT
    "Unten Mitte",  // LKMSG_BOTTOMCENTER
    "Unten rechts",  // LKMSG_BOTTOMRIGHT
    "Schließen",  // LKMSG_CLOSE2
    "Übernehmen",  // LKMSG_APPLY
    "Maßeinheiten",  // LKMSG_MEASUREUNITS
    "Einheiten",  // LKMSG_UNITS
    "Kompressionsrate",  // LKMSG_RATE
    "Alle Grafiken",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Datei",  // LKMSG_FILE
    "Speicher",  // LKMSG_MEM
    "Aktualisiert die Vorschau automatisch mit den ausgewählten Änderungen",  // LKMSG_LOCKPREVIEWHINT
    "Alles drucken",  // LKMSG_PRINTALL
    "Auswahl drucken",  // LKMSG_PRINTSELECTED
    "Gängige Grafikdateien",  // LKMSG_COMMONGRAPHICFILES
    "Alle Dateien",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Schärfen",  // LKMSG_SHARPEN
    "Kanäle",  // LKMSG_CHANNELS
};

// msSpanish
constexpr TWordRow kSpanish = {
    "Vista previa",  // LKMSG_PREVIEW
    "Original",  // LKMSG_SOURCE
    "Resultado",  // LKMSG_RESULT
    "Aceptar",  // LKMSG_OK
    "Cancelar",  // LKMSG_CANCEL
    "Bloquear vista previa",  // LKMSG_LOCKPREVIEW
    "Copiar resultado en el original",  // LKMSG_COPYRESULTTOSOURCE
    "Contraste",  // LKMSG_CONTRAST
    "Brillo",  // LKMSG_BRIGHTNESS
    "Tono",  // LKMSG_HUE
    "Saturación",  // LKMSG_SATURATION
    "Valor",  // LKMSG_VALUE
    "Color base",  // LKMSG_BASECOLOR
    "Color nuevo",  // LKMSG_NEWCOLOR
    "Luminosidad",  // LKMSG_LUMINOSITY
    "Rojo",  // LKMSG_RED
    "Verde",  // LKMSG_GREEN
    "Azul",  // LKMSG_BLUE
    "Valores del filtro",  // LKMSG_FILTERVALUES
    "Valores predefinidos",  // LKMSG_PRESETS
    "Divisor",  // LKMSG_DIVISOR
    "Cargar",  // LKMSG_LOAD
    "Guardar",  // LKMSG_SAVE
    "Ecualización",  // LKMSG_EQUALIZATION
    "Umbral",  // LKMSG_THRESHOLD
    "Ecualizar",  // LKMSG_EQUALIZE
    "Histograma",  // LKMSG_HISTOGRAM
    "Gris",  // LKMSG_GRAY
    "Luz",  // LKMSG_LIGHT
    "Izquierda",  // LKMSG_LEFT
    "Arriba",  // LKMSG_TOP
    "Ancho",  // LKMSG_WIDTH
    "Alto",  // LKMSG_HEIGHT
    "Color",  // LKMSG_COLOR
    "Cantidad de imagen original",  // LKMSG_SOURCEIMAGEQUANTITY
    "Lente",  // LKMSG_LENS
    "Refracción",  // LKMSG_REFRACTION
    "Vista previa de parámetros",  // LKMSG_PARAMETERSPREVIEW
    "Calidad",  // LKMSG_QUALITY
    "Método DCT",  // LKMSG_DCTMETHOD
    "Factor de suavizado",  // LKMSG_SMOOTHINGFACTOR
    "Escala de grises",  // LKMSG_GRAYSCALE
    "Huffman óptimo",  // LKMSG_OPTIMALHUFFMAN
    "Tamaño original",  // LKMSG_ORIGINALSIZE
    "Tamaño comprimido",  // LKMSG_COMPRESSEDSIZE
    "Avanzado",  // LKMSG_ADVANCED
    "Progresivo",  // LKMSG_PROGRESSIVE
    "Compresión",  // LKMSG_COMPRESSION
    "Índice de imagen",  // LKMSG_IMAGEINDEX
    "Fotometría",  // LKMSG_PHOTOMETRIC
    "Información del documento escaneado",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Nombre",  // LKMSG_NAME
    "Descripción",  // LKMSG_DESCRIPTION
    "Nombre de página",  // LKMSG_PAGENAME
    "Número de página",  // LKMSG_PAGENUMBER
    "de",  // LKMSG_OF
    "Posición horiz. (pulgadas)",  // LKMSG_HORIZPOSITIONINCH
    "Posición vert. (pulgadas)",  // LKMSG_VERTPOSITIONINCH
    "Colores",  // LKMSG_COLORS
    "Transparente",  // LKMSG_TRANSPARENT
    "Color transparente",  // LKMSG_TRANSPARENTCOLOR
    "Entrelazado",  // LKMSG_INTERLACED
    "Fondo",  // LKMSG_BACKGROUND
    "Posición horiz.",  // LKMSG_HORIZPOSITION
    "Posición vert.",  // LKMSG_VERTPOSITION
    "Tiempo de retardo",  // LKMSG_DELAYTIME
    "Filtro",  // LKMSG_FILTER
    "Onda",  // LKMSG_WAVE
    "Amplitud",  // LKMSG_AMPLITUDE
    "Longitud de onda",  // LKMSG_WAVELENGTH
    "Fase",  // LKMSG_PHASE
    "Reflectante",  // LKMSG_REFLECTIVE
    "Filtro de usuario",  // LKMSG_USERFILTER
    "Filtros morfológicos",  // LKMSG_MORPHFILTER
    "Tamaño de ventana",  // LKMSG_WINDOWSIZE
    "Máximo",  // LKMSG_MAXIMUM
    "Mínimo",  // LKMSG_MINIMUM
    "Apertura",  // LKMSG_OPEN
    "Cierre",  // LKMSG_CLOSE
    "Rotación",  // LKMSG_ROTATE
    "Voltear",  // LKMSG_FLIP
    "Horizontal",  // LKMSG_FLIPHOR
    "Vertical",  // LKMSG_FLIPVER
    "Imagen en el dominio de la frecuencia",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Seleccione la región que desea limpiar",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Borrar",  // LKMSG_CLEAR
    "Restablecer",  // LKMSG_RESET
    "Animar",  // LKMSG_ANIMATE
    "Cargar filtro",  // LKMSG_LOADFILTER
    "Guardar filtro",  // LKMSG_SAVEFILTER
    "Mapa de relieve",  // LKMSG_BUMPMAP
    "Imprimir",  // LKMSG_PRINT
    "Márgenes",  // LKMSG_MARGINS
    "pulgadas",  // LKMSG_INCHES
    "Derecha",  // LKMSG_RIGHT
    "Abajo",  // LKMSG_BOTTOM
    "Posición",  // LKMSG_POSITION
    "Tamaño",  // LKMSG_SIZE
    "Normal",  // LKMSG_NORMAL
    "Ajustar a la página",  // LKMSG_FITTOPAGE
    "Estirar a la página",  // LKMSG_STRETCHTOPAGE
    "Tamaño especificado",  // LKMSG_SPECIFIEDSIZE
    "Corrección gamma",  // LKMSG_GAMMACORRECTION
    "Valor",  // LKMSG_VALUE2
    "Configurar impresión",  // LKMSG_PRINTSETUP
    "Margen izquierdo",  // LKMSG_LEFTMARGIN
    "Margen superior",  // LKMSG_TOPMARGIN
    "Margen derecho",  // LKMSG_RIGHTMARGIN
    "Margen inferior",  // LKMSG_BOTTOMMARGIN
    "Ubicación/tamaño",  // LKMSG_LOCATIONSIZE
    "Arriba a la izquierda",  // LKMSG_TOPLEFT
    "Arriba en el centro",  // LKMSG_TOPCENTER
    "Arriba a la derecha",  // LKMSG_TOPRIGHT
    "Centro a la izquierda",  // LKMSG_CENTERLEFT
    "Centro",  // LKMSG_CENTER
    "Centro a la derecha",  // LKMSG_CENTERRIGHT
    "Abajo a la izquierda",  // LKMSG_BOTTOMLEFT
    "Abajo en el centro",  // LKMSG_BOTTOMCENTER
    "Abajo a la derecha",  // LKMSG_BOTTOMRIGHT
    "Cerrar",  // LKMSG_CLOSE2
    "Aplicar",  // LKMSG_APPLY
    "Unidades de medida",  // LKMSG_MEASUREUNITS
    "Unidades",  // LKMSG_UNITS
    "Tasa de compresión",  // LKMSG_RATE
    "Todos los gráficos",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Archivo",  // LKMSG_FILE
    "Mem",  // LKMSG_MEM
    "Actualiza automáticamente la vista previa con los cambios seleccionados",  // LKMSG_LOCKPREVIEWHINT
    "Imprimir todo",  // LKMSG_PRINTALL
    "Imprimir selección",  // LKMSG_PRINTSELECTED
    "Archivos gráficos comunes",  // LKMSG_COMMONGRAPHICFILES
    "Todos los archivos",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Enfocar",  // LKMSG_SHARPEN
    "Canales",  // LKMSG_CHANNELS
};

// msFrench
constexpr TWordRow kFrench = {
    "Aperçu",  // LKMSG_PREVIEW
    "Original",  // LKMSG_SOURCE
    "Résultat",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Annuler",  // LKMSG_CANCEL
    "Verrouiller l'aperçu",  // LKMSG_LOCKPREVIEW
    "Copier le résultat dans l'original",  // LKMSG_COPYRESULTTOSOURCE
    "Contraste",  // LKMSG_CONTRAST
    "Luminosité",  // LKMSG_BRIGHTNESS
    "Teinte",  // LKMSG_HUE
    "Saturation",  // LKMSG_SATURATION
    "Valeur",  // LKMSG_VALUE
    "Couleur de base",  // LKMSG_BASECOLOR
    "Nouvelle couleur",  // LKMSG_NEWCOLOR
    "Luminance",  // LKMSG_LUMINOSITY
    "Rouge",  // LKMSG_RED
    "Vert",  // LKMSG_GREEN
    "Bleu",  // LKMSG_BLUE
    "Valeurs du filtre",  // LKMSG_FILTERVALUES
    "Préréglages",  // LKMSG_PRESETS
    "Diviseur",  // LKMSG_DIVISOR
    "Charger",  // LKMSG_LOAD
    "Enregistrer",  // LKMSG_SAVE
    "Égalisation",  // LKMSG_EQUALIZATION
    "Seuil",  // LKMSG_THRESHOLD
    "Égaliser",  // LKMSG_EQUALIZE
    "Histogramme",  // LKMSG_HISTOGRAM
    "Gris",  // LKMSG_GRAY
    "Lumière",  // LKMSG_LIGHT
    "Gauche",  // LKMSG_LEFT
    "Haut",  // LKMSG_TOP
    "Largeur",  // LKMSG_WIDTH
    "Hauteur",  // LKMSG_HEIGHT
    "Couleur",  // LKMSG_COLOR
    "Quantité d'image originale",  // LKMSG_SOURCEIMAGEQUANTITY
    "Lentille",  // LKMSG_LENS
    "Réfraction",  // LKMSG_REFRACTION
    "Aperçu des paramètres",  // LKMSG_PARAMETERSPREVIEW
    "Qualité",  // LKMSG_QUALITY
    "Méthode DCT",  // LKMSG_DCTMETHOD
    "Facteur de lissage",  // LKMSG_SMOOTHINGFACTOR
    "Niveaux de gris",  // LKMSG_GRAYSCALE
    "Huffman optimal",  // LKMSG_OPTIMALHUFFMAN
    "Taille d'origine",  // LKMSG_ORIGINALSIZE
    "Taille compressée",  // LKMSG_COMPRESSEDSIZE
    "Avancé",  // LKMSG_ADVANCED
    "Progressif",  // LKMSG_PROGRESSIVE
    "Compression",  // LKMSG_COMPRESSION
    "Index de l'image",  // LKMSG_IMAGEINDEX
    "Interprétation photométrique",  // LKMSG_PHOTOMETRIC
    "Informations sur le document numérisé",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Nom",  // LKMSG_NAME
    "Description",  // LKMSG_DESCRIPTION
    "Nom de la page",  // LKMSG_PAGENAME
    "Numéro de page",  // LKMSG_PAGENUMBER
    "sur",  // LKMSG_OF
    "Position horiz. (pouces)",  // LKMSG_HORIZPOSITIONINCH
    "Position vert. (pouces)",  // LKMSG_VERTPOSITIONINCH
    "Couleurs",  // LKMSG_COLORS
    "Transparent",  // LKMSG_TRANSPARENT
    "Couleur transparente",  // LKMSG_TRANSPARENTCOLOR
    "Entrelacé",  // LKMSG_INTERLACED
    "Arrière-plan",  // LKMSG_BACKGROUND
    "Position horiz.",  // LKMSG_HORIZPOSITION
    "Position vert.",  // LKMSG_VERTPOSITION
    "Délai",  // LKMSG_DELAYTIME
    "Filtre",  // LKMSG_FILTER
    "Onde",  // LKMSG_WAVE
    "Amplitude",  // LKMSG_AMPLITUDE
    "Longueur d'onde",  // LKMSG_WAVELENGTH
    "Phase",  // LKMSG_PHASE
    "Réfléchissant",  // LKMSG_REFLECTIVE
    "Filtre utilisateur",  // LKMSG_USERFILTER
    "Filtres morphologiques",  // LKMSG_MORPHFILTER
    "Taille de la fenêtre",  // LKMSG_WINDOWSIZE
    "Maximum",  // LKMSG_MAXIMUM
    "Minimum",  // LKMSG_MINIMUM
    "Ouverture",  // LKMSG_OPEN
    "Fermeture",  // LKMSG_CLOSE
    "Rotation",  // LKMSG_ROTATE
    "Retourner",  // LKMSG_FLIP
    "Horizontal",  // LKMSG_FLIPHOR
    "Vertical",  // LKMSG_FLIPVER
    "Image dans le domaine fréquentiel",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Sélectionnez la zone à nettoyer",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Effacer",  // LKMSG_CLEAR
    "Réinitialiser",  // LKMSG_RESET
    "Animer",  // LKMSG_ANIMATE
    "Charger un filtre",  // LKMSG_LOADFILTER
    "Enregistrer le filtre",  // LKMSG_SAVEFILTER
    "Placage de relief",  // LKMSG_BUMPMAP
    "Imprimer",  // LKMSG_PRINT
    "Marges",  // LKMSG_MARGINS
    "pouces",  // LKMSG_INCHES
    "Droite",  // LKMSG_RIGHT
    "Bas",  // LKMSG_BOTTOM
    "Position",  // LKMSG_POSITION
    "Taille",  // LKMSG_SIZE
    "Normal",  // LKMSG_NORMAL
    "Ajuster à la page",  // LKMSG_FITTOPAGE
    "Étirer à la page",  // LKMSG_STRETCHTOPAGE
    "Taille spécifiée",  // LKMSG_SPECIFIEDSIZE
    "Correction gamma",  // LKMSG_GAMMACORRECTION
    "Valeur",  // LKMSG_VALUE2
    "Configuration de l'impression",  // LKMSG_PRINTSETUP
    "Marge gauche",  // LKMSG_LEFTMARGIN
    "Marge supérieure",  // LKMSG_TOPMARGIN
    "Marge droite",  // LKMSG_RIGHTMARGIN
    "Marge inférieure",  // LKMSG_BOTTOMMARGIN
    "Emplacement/taille",  // LKMSG_LOCATIONSIZE
    "En haut à gauche",  // LKMSG_TOPLEFT
    "En haut au centre",  // LKMSG_TOPCENTER
    "En haut à droite",  // LKMSG_TOPRIGHT
    "Au centre à gauche",  // LKMSG_CENTERLEFT
    "Au centre",  // LKMSG_CENTER
    "Au centre à droite",  // LKMSG_CENTERRIGHT
    "En bas à gauche",  // LKMSG_BOTTOMLEFT
    "En bas au centre",  // LKMSG_BOTTOMCENTER
    "En bas à droite",  // LKMSG_BOTTOMRIGHT
    "Fermer",  // LKMSG_CLOSE2
    "Appliquer",  // LKMSG_APPLY
    "Unités de mesure",  // LKMSG_MEASUREUNITS
    "Unités",  // LKMSG_UNITS
    "Taux de compression",  // LKMSG_RATE
    "Tous les graphiques",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Fichier",  // LKMSG_FILE
    "Mém.",  // LKMSG_MEM
    "Met à jour automatiquement l'aperçu avec les modifications sélectionnées",  // LKMSG_LOCKPREVIEWHINT
    "Tout imprimer",  // LKMSG_PRINTALL
    "Imprimer la sélection",  // LKMSG_PRINTSELECTED
    "Fichiers graphiques courants",  // LKMSG_COMMONGRAPHICFILES
    "Tous les fichiers",  // LKMSG_ALLFILES
    "TSV",  // LKMSG_HSV
    "TSL",  // LKMSG_HSL
    "RVB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Netteté",  // LKMSG_SHARPEN
    "Canaux",  // LKMSG_CHANNELS
};

// msPortuguese
constexpr TWordRow kPortuguese = {
    "Visualizar",  // LKMSG_PREVIEW
    "Original",  // LKMSG_SOURCE
    "Resultado",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Cancelar",  // LKMSG_CANCEL
    "Bloquear visualização",  // LKMSG_LOCKPREVIEW
    "Copiar resultado para o original",  // LKMSG_COPYRESULTTOSOURCE
    "Contraste",  // LKMSG_CONTRAST
    "Brilho",  // LKMSG_BRIGHTNESS
    "Matiz",  // LKMSG_HUE
    "Saturação",  // LKMSG_SATURATION
    "Valor",  // LKMSG_VALUE
    "Cor base",  // LKMSG_BASECOLOR
    "Nova cor",  // LKMSG_NEWCOLOR
    "Luminosidade",  // LKMSG_LUMINOSITY
    "Vermelho",  // LKMSG_RED
    "Verde",  // LKMSG_GREEN
    "Azul",  // LKMSG_BLUE
    "Valores do filtro",  // LKMSG_FILTERVALUES
    "Predefinições",  // LKMSG_PRESETS
    "Divisor",  // LKMSG_DIVISOR
    "Carregar",  // LKMSG_LOAD
    "Salvar",  // LKMSG_SAVE
    "Equalização",  // LKMSG_EQUALIZATION
    "Limiar",  // LKMSG_THRESHOLD
    "Equalizar",  // LKMSG_EQUALIZE
    "Histograma",  // LKMSG_HISTOGRAM
    "Cinza",  // LKMSG_GRAY
    "Luz",  // LKMSG_LIGHT
    "Esquerda",  // LKMSG_LEFT
    "Superior",  // LKMSG_TOP
    "Largura",  // LKMSG_WIDTH
    "Altura",  // LKMSG_HEIGHT
    "Cor",  // LKMSG_COLOR
    "Quantidade da imagem original",  // LKMSG_SOURCEIMAGEQUANTITY
    "Lente",  // LKMSG_LENS
    "Refração",  // LKMSG_REFRACTION
    "Visualização dos parâmetros",  // LKMSG_PARAMETERSPREVIEW
    "Qualidade",  // LKMSG_QUALITY
    "Método DCT",  // LKMSG_DCTMETHOD
    "Fator de suavização",  // LKMSG_SMOOTHINGFACTOR
    "Escala de cinza",  // LKMSG_GRAYSCALE
    "Huffman ótimo",  // LKMSG_OPTIMALHUFFMAN
    "Tamanho original",  // LKMSG_ORIGINALSIZE
    "Tamanho compactado",  // LKMSG_COMPRESSEDSIZE
    "Avançado",  // LKMSG_ADVANCED
    "Progressivo",  // LKMSG_PROGRESSIVE
    "Compactação",  // LKMSG_COMPRESSION
    "Índice da imagem",  // LKMSG_IMAGEINDEX
    "Fotometria",  // LKMSG_PHOTOMETRIC
    "Informações do documento digitalizado",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Nome",  // LKMSG_NAME
    "Descrição",  // LKMSG_DESCRIPTION
    "Nome da página",  // LKMSG_PAGENAME
    "Número da página",  // LKMSG_PAGENUMBER
    "de",  // LKMSG_OF
    "Posição horiz. (polegadas)",  // LKMSG_HORIZPOSITIONINCH
    "Posição vert. (polegadas)",  // LKMSG_VERTPOSITIONINCH
    "Cores",  // LKMSG_COLORS
    "Transparente",  // LKMSG_TRANSPARENT
    "Cor transparente",  // LKMSG_TRANSPARENTCOLOR
    "Entrelaçado",  // LKMSG_INTERLACED
    "Fundo",  // LKMSG_BACKGROUND
    "Posição horiz.",  // LKMSG_HORIZPOSITION
    "Posição vert.",  // LKMSG_VERTPOSITION
    "Tempo de atraso",  // LKMSG_DELAYTIME
    "Filtro",  // LKMSG_FILTER
    "Onda",  // LKMSG_WAVE
    "Amplitude",  // LKMSG_AMPLITUDE
    "Comprimento de onda",  // LKMSG_WAVELENGTH
    "Fase",  // LKMSG_PHASE
    "Reflexivo",  // LKMSG_REFLECTIVE
    "Filtro do usuário",  // LKMSG_USERFILTER
    "Filtros morfológicos",  // LKMSG_MORPHFILTER
    "Tamanho da janela",  // LKMSG_WINDOWSIZE
    "Máximo",  // LKMSG_MAXIMUM
    "Mínimo",  // LKMSG_MINIMUM
    "Abertura",  // LKMSG_OPEN
    "Fechamento",  // LKMSG_CLOSE
    "Rotação",  // LKMSG_ROTATE
    "Espelhar",  // LKMSG_FLIP
    "Horizontal",  // LKMSG_FLIPHOR
    "Vertical",  // LKMSG_FLIPVER
    "Imagem no domínio da frequência",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Selecione a região a ser limpa",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Limpar",  // LKMSG_CLEAR
    "Redefinir",  // LKMSG_RESET
    "Animar",  // LKMSG_ANIMATE
    "Carregar filtro",  // LKMSG_LOADFILTER
    "Salvar filtro",  // LKMSG_SAVEFILTER
    "Mapa de relevo",  // LKMSG_BUMPMAP
    "Imprimir",  // LKMSG_PRINT
    "Margens",  // LKMSG_MARGINS
    "polegadas",  // LKMSG_INCHES
    "Direita",  // LKMSG_RIGHT
    "Inferior",  // LKMSG_BOTTOM
    "Posição",  // LKMSG_POSITION
    "Tamanho",  // LKMSG_SIZE
    "Normal",  // LKMSG_NORMAL
    "Ajustar à página",  // LKMSG_FITTOPAGE
    "Esticar até a página",  // LKMSG_STRETCHTOPAGE
    "Tamanho especificado",  // LKMSG_SPECIFIEDSIZE
    "Correção de gama",  // LKMSG_GAMMACORRECTION
    "Valor",  // LKMSG_VALUE2
    "Configurar impressão",  // LKMSG_PRINTSETUP
    "Margem esquerda",  // LKMSG_LEFTMARGIN
    "Margem superior",  // LKMSG_TOPMARGIN
    "Margem direita",  // LKMSG_RIGHTMARGIN
    "Margem inferior",  // LKMSG_BOTTOMMARGIN
    "Local/tamanho",  // LKMSG_LOCATIONSIZE
    "Superior esquerdo",  // LKMSG_TOPLEFT
    "Superior central",  // LKMSG_TOPCENTER
    "Superior direito",  // LKMSG_TOPRIGHT
    "Centro esquerdo",  // LKMSG_CENTERLEFT
    "Centro",  // LKMSG_CENTER
    "Centro direito",  // LKMSG_CENTERRIGHT
    "Inferior esquerdo",  // LKMSG_BOTTOMLEFT
    "Inferior central",  // LKMSG_BOTTOMCENTER
    "Inferior direito",  // LKMSG_BOTTOMRIGHT
    "Fechar",  // LKMSG_CLOSE2
    "Aplicar",  // LKMSG_APPLY
    "Unidades de medida",  // LKMSG_MEASUREUNITS
    "Unidades",  // LKMSG_UNITS
    "Taxa de compactação",  // LKMSG_RATE
    "Todos os gráficos",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Arquivo",  // LKMSG_FILE
    "Mem",  // LKMSG_MEM
    "Atualiza automaticamente a visualização com as alterações selecionadas",  // LKMSG_LOCKPREVIEWHINT
    "Imprimir tudo",  // LKMSG_PRINTALL
    "Imprimir seleção",  // LKMSG_PRINTSELECTED
    "Arquivos gráficos comuns",  // LKMSG_COMMONGRAPHICFILES
    "Todos os arquivos",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Nitidez",  // LKMSG_SHARPEN
    "Canais",  // LKMSG_CHANNELS
};

// msGreek
constexpr TWordRow kGreek = {
    "Προεπισκόπηση",  // LKMSG_PREVIEW
    "Πρωτότυπο",  // LKMSG_SOURCE
    "Αποτέλεσμα",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Άκυρο",  // LKMSG_CANCEL
    "Κλείδωμα προεπισκόπησης",  // LKMSG_LOCKPREVIEW
    "Αντιγραφή αποτελέσματος στο πρωτότυπο",  // LKMSG_COPYRESULTTOSOURCE
    "Αντίθεση",  // LKMSG_CONTRAST
    "Φωτεινότητα",  // LKMSG_BRIGHTNESS
    "Απόχρωση",  // LKMSG_HUE
    "Κορεσμός",  // LKMSG_SATURATION
    "Τιμή",  // LKMSG_VALUE
    "Βασικό χρώμα",  // LKMSG_BASECOLOR
    "Νέο χρώμα",  // LKMSG_NEWCOLOR
    "Λαμπρότητα",  // LKMSG_LUMINOSITY
    "Κόκκινο",  // LKMSG_RED
    "Πράσινο",  // LKMSG_GREEN
    "Μπλε",  // LKMSG_BLUE
    "Τιμές φίλτρου",  // LKMSG_FILTERVALUES
    "Προεπιλογές",  // LKMSG_PRESETS
    "Διαιρέτης",  // LKMSG_DIVISOR
    "Φόρτωση",  // LKMSG_LOAD
    "Αποθήκευση",  // LKMSG_SAVE
    "Εξισορρόπηση",  // LKMSG_EQUALIZATION
    "Κατώφλι",  // LKMSG_THRESHOLD
    "Εξισορρόπηση τόνων",  // LKMSG_EQUALIZE
    "Ιστόγραμμα",  // LKMSG_HISTOGRAM
    "Γκρι",  // LKMSG_GRAY
    "Πηγή φωτός",  // LKMSG_LIGHT
    "Αριστερά",  // LKMSG_LEFT
    "Πάνω",  // LKMSG_TOP
    "Πλάτος",  // LKMSG_WIDTH
    "Ύψος",  // LKMSG_HEIGHT
    "Χρώμα",  // LKMSG_COLOR
    "Ποσοστό αρχικής εικόνας",  // LKMSG_SOURCEIMAGEQUANTITY
    "Φακός",  // LKMSG_LENS
    "Διάθλαση",  // LKMSG_REFRACTION
    "Προεπισκόπηση παραμέτρων",  // LKMSG_PARAMETERSPREVIEW
    "Ποιότητα",  // LKMSG_QUALITY
    "Μέθοδος DCT",  // LKMSG_DCTMETHOD
    "Συντελεστής εξομάλυνσης",  // LKMSG_SMOOTHINGFACTOR
    "Κλίμακα του γκρι",  // LKMSG_GRAYSCALE
    "Βέλτιστο Huffman",  // LKMSG_OPTIMALHUFFMAN
    "Αρχικό μέγεθος",  // LKMSG_ORIGINALSIZE
    "Συμπιεσμένο μέγεθος",  // LKMSG_COMPRESSEDSIZE
    "Για προχωρημένους",  // LKMSG_ADVANCED
    "Προοδευτική",  // LKMSG_PROGRESSIVE
    "Συμπίεση",  // LKMSG_COMPRESSION
    "Δείκτης εικόνας",  // LKMSG_IMAGEINDEX
    "Φωτομετρική ερμηνεία",  // LKMSG_PHOTOMETRIC
    "Πληροφορίες σαρωμένου εγγράφου",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Όνομα",  // LKMSG_NAME
    "Περιγραφή",  // LKMSG_DESCRIPTION
    "Όνομα σελίδας",  // LKMSG_PAGENAME
    "Αριθμός σελίδας",  // LKMSG_PAGENUMBER
    "από",  // LKMSG_OF
    "Οριζ. θέση (ίντσες)",  // LKMSG_HORIZPOSITIONINCH
    "Κατακ. θέση (ίντσες)",  // LKMSG_VERTPOSITIONINCH
    "Χρώματα",  // LKMSG_COLORS
    "Διαφανές",  // LKMSG_TRANSPARENT
    "Διαφανές χρώμα",  // LKMSG_TRANSPARENTCOLOR
    "Πεπλεγμένο",  // LKMSG_INTERLACED
    "Φόντο",  // LKMSG_BACKGROUND
    "Οριζ. θέση",  // LKMSG_HORIZPOSITION
    "Κατακ. θέση",  // LKMSG_VERTPOSITION
    "Χρόνος καθυστέρησης",  // LKMSG_DELAYTIME
    "Φίλτρο",  // LKMSG_FILTER
    "Κύμα",  // LKMSG_WAVE
    "Πλάτος ταλάντωσης",  // LKMSG_AMPLITUDE
    "Μήκος κύματος",  // LKMSG_WAVELENGTH
    "Φάση",  // LKMSG_PHASE
    "Ανακλαστικό",  // LKMSG_REFLECTIVE
    "Φίλτρο χρήστη",  // LKMSG_USERFILTER
    "Μορφολογικά φίλτρα",  // LKMSG_MORPHFILTER
    "Μέγεθος παραθύρου",  // LKMSG_WINDOWSIZE
    "Μέγιστο",  // LKMSG_MAXIMUM
    "Ελάχιστο",  // LKMSG_MINIMUM
    "Διάνοιξη",  // LKMSG_OPEN
    "Σύγκλειση",  // LKMSG_CLOSE
    "Περιστροφή",  // LKMSG_ROTATE
    "Αναστροφή",  // LKMSG_FLIP
    "Οριζόντια",  // LKMSG_FLIPHOR
    "Κατακόρυφα",  // LKMSG_FLIPVER
    "Εικόνα στο πεδίο συχνοτήτων",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Επιλέξτε την περιοχή προς καθαρισμό",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Απαλοιφή",  // LKMSG_CLEAR
    "Επαναφορά",  // LKMSG_RESET
    "Κίνηση",  // LKMSG_ANIMATE
    "Φόρτωση φίλτρου",  // LKMSG_LOADFILTER
    "Αποθήκευση φίλτρου",  // LKMSG_SAVEFILTER
    "Χάρτης ανάγλυφου",  // LKMSG_BUMPMAP
    "Εκτύπωση",  // LKMSG_PRINT
    "Περιθώρια",  // LKMSG_MARGINS
    "ίντσες",  // LKMSG_INCHES
    "Δεξιά",  // LKMSG_RIGHT
    "Κάτω",  // LKMSG_BOTTOM
    "Θέση",  // LKMSG_POSITION
    "Μέγεθος",  // LKMSG_SIZE
    "Κανονικό",  // LKMSG_NORMAL
    "Προσαρμογή στη σελίδα",  // LKMSG_FITTOPAGE
    "Τέντωμα στη σελίδα",  // LKMSG_STRETCHTOPAGE
    "Καθορισμένο μέγεθος",  // LKMSG_SPECIFIEDSIZE
    "Διόρθωση γάμμα",  // LKMSG_GAMMACORRECTION
    "Τιμή",  // LKMSG_VALUE2
    "Ρύθμιση εκτύπωσης",  // LKMSG_PRINTSETUP
    "Αριστερό περιθώριο",  // LKMSG_LEFTMARGIN
    "Επάνω περιθώριο",  // LKMSG_TOPMARGIN
    "Δεξί περιθώριο",  // LKMSG_RIGHTMARGIN
    "Κάτω περιθώριο",  // LKMSG_BOTTOMMARGIN
    "Θέση/μέγεθος",  // LKMSG_LOCATIONSIZE
    "Πάνω αριστερά",  // LKMSG_TOPLEFT
    "Πάνω στο κέντρο",  // LKMSG_TOPCENTER
    "Πάνω δεξιά",  // LKMSG_TOPRIGHT
    "Κέντρο αριστερά",  // LKMSG_CENTERLEFT
    "Κέντρο",  // LKMSG_CENTER
    "Κέντρο δεξιά",  // LKMSG_CENTERRIGHT
    "Κάτω αριστερά",  // LKMSG_BOTTOMLEFT
    "Κάτω στο κέντρο",  // LKMSG_BOTTOMCENTER
    "Κάτω δεξιά",  // LKMSG_BOTTOMRIGHT
    "Κλείσιμο",  // LKMSG_CLOSE2
    "Εφαρμογή",  // LKMSG_APPLY
    "Μονάδες μέτρησης",  // LKMSG_MEASUREUNITS
    "Μονάδες",  // LKMSG_UNITS
    "Ρυθμός συμπίεσης",  // LKMSG_RATE
    "Όλα τα γραφικά",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Αρχείο",  // LKMSG_FILE
    "Μνήμη",  // LKMSG_MEM
    "Ενημερώνει αυτόματα την προεπισκόπηση με τις αλλαγές που επιλέξατε",  // LKMSG_LOCKPREVIEWHINT
    "Εκτύπωση όλων",  // LKMSG_PRINTALL
    "Εκτύπωση επιλεγμένων",  // LKMSG_PRINTSELECTED
    "Κοινά αρχεία γραφικών",  // LKMSG_COMMONGRAPHICFILES
    "Όλα τα αρχεία",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Όξυνση",  // LKMSG_SHARPEN
    "Κανάλια",  // LKMSG_CHANNELS
};

// msRussian
constexpr TWordRow kRussian = {
    "Предпросмотр",  // LKMSG_PREVIEW
    "Оригинал",  // LKMSG_SOURCE
    "Результат",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Отмена",  // LKMSG_CANCEL
    "Закрепить предпросмотр",  // LKMSG_LOCKPREVIEW
    "Копировать результат в оригинал",  // LKMSG_COPYRESULTTOSOURCE
    "Контраст",  // LKMSG_CONTRAST
    "Яркость",  // LKMSG_BRIGHTNESS
    "Оттенок",  // LKMSG_HUE
    "Насыщенность",  // LKMSG_SATURATION
    "Значение",  // LKMSG_VALUE
    "Исходный цвет",  // LKMSG_BASECOLOR
    "Новый цвет",  // LKMSG_NEWCOLOR
    "Светлота",  // LKMSG_LUMINOSITY
    "Красный",  // LKMSG_RED
    "Зелёный",  // LKMSG_GREEN
    "Синий",  // LKMSG_BLUE
    "Значения фильтра",  // LKMSG_FILTERVALUES
    "Предустановки",  // LKMSG_PRESETS
    "Делитель",  // LKMSG_DIVISOR
    "Загрузить",  // LKMSG_LOAD
    "Сохранить",  // LKMSG_SAVE
    "Выравнивание",  // LKMSG_EQUALIZATION
    "Порог",  // LKMSG_THRESHOLD
    "Выровнять",  // LKMSG_EQUALIZE
    "Гистограмма",  // LKMSG_HISTOGRAM
    "Серый",  // LKMSG_GRAY
    "Источник света",  // LKMSG_LIGHT
    "Слева",  // LKMSG_LEFT
    "Сверху",  // LKMSG_TOP
    "Ширина",  // LKMSG_WIDTH
    "Высота",  // LKMSG_HEIGHT
    "Цвет",  // LKMSG_COLOR
    "Доля исходного изображения",  // LKMSG_SOURCEIMAGEQUANTITY
    "Линза",  // LKMSG_LENS
    "Преломление",  // LKMSG_REFRACTION
    "Предпросмотр параметров",  // LKMSG_PARAMETERSPREVIEW
    "Качество",  // LKMSG_QUALITY
    "Метод DCT",  // LKMSG_DCTMETHOD
    "Коэффициент сглаживания",  // LKMSG_SMOOTHINGFACTOR
    "Оттенки серого",  // LKMSG_GRAYSCALE
    "Оптимальный код Хаффмана",  // LKMSG_OPTIMALHUFFMAN
    "Исходный размер",  // LKMSG_ORIGINALSIZE
    "Размер после сжатия",  // LKMSG_COMPRESSEDSIZE
    "Дополнительно",  // LKMSG_ADVANCED
    "Прогрессивный",  // LKMSG_PROGRESSIVE
    "Сжатие",  // LKMSG_COMPRESSION
    "Номер изображения",  // LKMSG_IMAGEINDEX
    "Фотометрическая интерпретация",  // LKMSG_PHOTOMETRIC
    "Сведения об отсканированном документе",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Имя",  // LKMSG_NAME
    "Описание",  // LKMSG_DESCRIPTION
    "Имя страницы",  // LKMSG_PAGENAME
    "Номер страницы",  // LKMSG_PAGENUMBER
    "из",  // LKMSG_OF
    "Позиция по гориз. (дюймы)",  // LKMSG_HORIZPOSITIONINCH
    "Позиция по верт. (дюймы)",  // LKMSG_VERTPOSITIONINCH
    "Цвета",  // LKMSG_COLORS
    "Прозрачный",  // LKMSG_TRANSPARENT
    "Прозрачный цвет",  // LKMSG_TRANSPARENTCOLOR
    "Чересстрочный",  // LKMSG_INTERLACED
    "Фон",  // LKMSG_BACKGROUND
    "Позиция по гориз.",  // LKMSG_HORIZPOSITION
    "Позиция по верт.",  // LKMSG_VERTPOSITION
    "Задержка",  // LKMSG_DELAYTIME
    "Фильтр",  // LKMSG_FILTER
    "Волна",  // LKMSG_WAVE
    "Амплитуда",  // LKMSG_AMPLITUDE
    "Длина волны",  // LKMSG_WAVELENGTH
    "Фаза",  // LKMSG_PHASE
    "Отражающий",  // LKMSG_REFLECTIVE
    "Пользовательский фильтр",  // LKMSG_USERFILTER
    "Морфологические фильтры",  // LKMSG_MORPHFILTER
    "Размер окна",  // LKMSG_WINDOWSIZE
    "Максимум",  // LKMSG_MAXIMUM
    "Минимум",  // LKMSG_MINIMUM
    "Размыкание",  // LKMSG_OPEN
    "Замыкание",  // LKMSG_CLOSE
    "Поворот",  // LKMSG_ROTATE
    "Отразить",  // LKMSG_FLIP
    "По горизонтали",  // LKMSG_FLIPHOR
    "По вертикали",  // LKMSG_FLIPVER
    "Изображение в частотной области",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Выделите область для очистки",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Очистить",  // LKMSG_CLEAR
    "Сбросить",  // LKMSG_RESET
    "Анимация",  // LKMSG_ANIMATE
    "Загрузить фильтр",  // LKMSG_LOADFILTER
    "Сохранить фильтр",  // LKMSG_SAVEFILTER
    "Карта рельефа",  // LKMSG_BUMPMAP
    "Печать",  // LKMSG_PRINT
    "Поля",  // LKMSG_MARGINS
    "дюймы",  // LKMSG_INCHES
    "Справа",  // LKMSG_RIGHT
    "Снизу",  // LKMSG_BOTTOM
    "Положение",  // LKMSG_POSITION
    "Размер",  // LKMSG_SIZE
    "Обычный",  // LKMSG_NORMAL
    "По размеру страницы",  // LKMSG_FITTOPAGE
    "Растянуть на страницу",  // LKMSG_STRETCHTOPAGE
    "Заданный размер",  // LKMSG_SPECIFIEDSIZE
    "Гамма-коррекция",  // LKMSG_GAMMACORRECTION
    "Значение",  // LKMSG_VALUE2
    "Настройка печати",  // LKMSG_PRINTSETUP
    "Левое поле",  // LKMSG_LEFTMARGIN
    "Верхнее поле",  // LKMSG_TOPMARGIN
    "Правое поле",  // LKMSG_RIGHTMARGIN
    "Нижнее поле",  // LKMSG_BOTTOMMARGIN
    "Положение/размер",  // LKMSG_LOCATIONSIZE
    "Сверху слева",  // LKMSG_TOPLEFT
    "Сверху по центру",  // LKMSG_TOPCENTER
    "Сверху справа",  // LKMSG_TOPRIGHT
    "По центру слева",  // LKMSG_CENTERLEFT
    "По центру",  // LKMSG_CENTER
    "По центру справа",  // LKMSG_CENTERRIGHT
    "Снизу слева",  // LKMSG_BOTTOMLEFT
    "Снизу по центру",  // LKMSG_BOTTOMCENTER
    "Снизу справа",  // LKMSG_BOTTOMRIGHT
    "Закрыть",  // LKMSG_CLOSE2
    "Применить",  // LKMSG_APPLY
    "Единицы измерения",  // LKMSG_MEASUREUNITS
    "Единицы",  // LKMSG_UNITS
    "Степень сжатия",  // LKMSG_RATE
    "Все графические файлы",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Файл",  // LKMSG_FILE
    "Память",  // LKMSG_MEM
    "Автоматически обновляет предпросмотр с учётом выбранных изменений",  // LKMSG_LOCKPREVIEWHINT
    "Печатать все",  // LKMSG_PRINTALL
    "Печатать выделенное",  // LKMSG_PRINTSELECTED
    "Основные графические файлы",  // LKMSG_COMMONGRAPHICFILES
    "Все файлы",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "БПФ",  // LKMSG_FFT
    "Резкость",  // LKMSG_SHARPEN
    "Каналы",  // LKMSG_CHANNELS
};

// msDutch
constexpr TWordRow kDutch = {
    "Voorbeeld",  // LKMSG_PREVIEW
    "Origineel",  // LKMSG_SOURCE
    "Resultaat",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Annuleren",  // LKMSG_CANCEL
    "Voorbeeld vergrendelen",  // LKMSG_LOCKPREVIEW
    "Resultaat naar origineel kopiëren",  // LKMSG_COPYRESULTTOSOURCE
    "Contrast",  // LKMSG_CONTRAST
    "Helderheid",  // LKMSG_BRIGHTNESS
    "Tint",  // LKMSG_HUE
    "Verzadiging",  // LKMSG_SATURATION
    "Waarde",  // LKMSG_VALUE
    "Basiskleur",  // LKMSG_BASECOLOR
    "Nieuwe kleur",  // LKMSG_NEWCOLOR
    "Luminantie",  // LKMSG_LUMINOSITY
    "Rood",  // LKMSG_RED
    "Groen",  // LKMSG_GREEN
    "Blauw",  // LKMSG_BLUE
    "Filterwaarden",  // LKMSG_FILTERVALUES
    "Voorinstellingen",  // LKMSG_PRESETS
    "Deler",  // LKMSG_DIVISOR
    "Laden",  // LKMSG_LOAD
    "Opslaan",  // LKMSG_SAVE
    "Egalisatie",  // LKMSG_EQUALIZATION
    "Drempel",  // LKMSG_THRESHOLD
    "Egaliseren",  // LKMSG_EQUALIZE
    "Histogram",  // LKMSG_HISTOGRAM
    "Grijs",  // LKMSG_GRAY
    "Licht",  // LKMSG_LIGHT
    "Links",  // LKMSG_LEFT
    "Boven",  // LKMSG_TOP
    "Breedte",  // LKMSG_WIDTH
    "Hoogte",  // LKMSG_HEIGHT
    "Kleur",  // LKMSG_COLOR
    "Aandeel van het origineel",  // LKMSG_SOURCEIMAGEQUANTITY
    "Lens",  // LKMSG_LENS
    "Breking",  // LKMSG_REFRACTION
    "Voorbeeld van parameters",  // LKMSG_PARAMETERSPREVIEW
    "Kwaliteit",  // LKMSG_QUALITY
    "DCT-methode",  // LKMSG_DCTMETHOD
    "Afvlakkingsfactor",  // LKMSG_SMOOTHINGFACTOR
    "Grijswaarden",  // LKMSG_GRAYSCALE
    "Optimale Huffman-codering",  // LKMSG_OPTIMALHUFFMAN
    "Oorspronkelijke grootte",  // LKMSG_ORIGINALSIZE
    "Gecomprimeerde grootte",  // LKMSG_COMPRESSEDSIZE
    "Geavanceerd",  // LKMSG_ADVANCED
    "Progressief",  // LKMSG_PROGRESSIVE
    "Compressie",  // LKMSG_COMPRESSION
    "Afbeeldingsindex",  // LKMSG_IMAGEINDEX
    "Fotometrische interpretatie",  // LKMSG_PHOTOMETRIC
    "Gegevens van gescand document",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Naam",  // LKMSG_NAME
    "Beschrijving",  // LKMSG_DESCRIPTION
    "Paginanaam",  // LKMSG_PAGENAME
    "Paginanummer",  // LKMSG_PAGENUMBER
    "van",  // LKMSG_OF
    "Horiz. positie (inch)",  // LKMSG_HORIZPOSITIONINCH
    "Vert. positie (inch)",  // LKMSG_VERTPOSITIONINCH
    "Kleuren",  // LKMSG_COLORS
    "Transparant",  // LKMSG_TRANSPARENT
    "Transparante kleur",  // LKMSG_TRANSPARENTCOLOR
    "Geïnterlinieerd",  // LKMSG_INTERLACED
    "Achtergrond",  // LKMSG_BACKGROUND
    "Horiz. positie",  // LKMSG_HORIZPOSITION
    "Vert. positie",  // LKMSG_VERTPOSITION
    "Vertragingstijd",  // LKMSG_DELAYTIME
    "Filter",  // LKMSG_FILTER
    "Golf",  // LKMSG_WAVE
    "Amplitude",  // LKMSG_AMPLITUDE
    "Golflengte",  // LKMSG_WAVELENGTH
    "Fase",  // LKMSG_PHASE
    "Reflecterend",  // LKMSG_REFLECTIVE
    "Gebruikersfilter",  // LKMSG_USERFILTER
    "Morfologische filters",  // LKMSG_MORPHFILTER
    "Venstergrootte",  // LKMSG_WINDOWSIZE
    "Maximum",  // LKMSG_MAXIMUM
    "Minimum",  // LKMSG_MINIMUM
    "Opening",  // LKMSG_OPEN
    "Sluiting",  // LKMSG_CLOSE
    "Rotatie",  // LKMSG_ROTATE
    "Spiegelen",  // LKMSG_FLIP
    "Horizontaal",  // LKMSG_FLIPHOR
    "Verticaal",  // LKMSG_FLIPVER
    "Afbeelding in het frequentiedomein",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Selecteer het gebied dat moet worden opgeschoond",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Wissen",  // LKMSG_CLEAR
    "Herstellen",  // LKMSG_RESET
    "Animeren",  // LKMSG_ANIMATE
    "Filter laden",  // LKMSG_LOADFILTER
    "Filter opslaan",  // LKMSG_SAVEFILTER
    "Reliëfkaart",  // LKMSG_BUMPMAP
    "Afdrukken",  // LKMSG_PRINT
    "Marges",  // LKMSG_MARGINS
    "inch",  // LKMSG_INCHES
    "Rechts",  // LKMSG_RIGHT
    "Onder",  // LKMSG_BOTTOM
    "Positie",  // LKMSG_POSITION
    "Grootte",  // LKMSG_SIZE
    "Normaal",  // LKMSG_NORMAL
    "Aan pagina aanpassen",  // LKMSG_FITTOPAGE
    "Uitrekken tot pagina",  // LKMSG_STRETCHTOPAGE
    "Opgegeven grootte",  // LKMSG_SPECIFIEDSIZE
    "Gammacorrectie",  // LKMSG_GAMMACORRECTION
    "Waarde",  // LKMSG_VALUE2
    "Afdrukinstellingen",  // LKMSG_PRINTSETUP
    "Linkermarge",  // LKMSG_LEFTMARGIN
    "Bovenmarge",  // LKMSG_TOPMARGIN
    "Rechtermarge",  // LKMSG_RIGHTMARGIN
    "Ondermarge",  // LKMSG_BOTTOMMARGIN
    "Locatie/grootte",  // LKMSG_LOCATIONSIZE
    "Linksboven",  // LKMSG_TOPLEFT
    "Midden boven",  // LKMSG_TOPCENTER
    "Rechtsboven",  // LKMSG_TOPRIGHT
    "Links midden",  // LKMSG_CENTERLEFT
    "Midden",  // LKMSG_CENTER
    "Rechts midden",  // LKMSG_CENTERRIGHT
    "Linksonder",  // LKMSG_BOTTOMLEFT
    "Midden onder",  // LKMSG_BOTTOMCENTER
    "Rechtsonder",  // LKMSG_BOTTOMRIGHT
    "Sluiten",  // LKMSG_CLOSE2
    "Toepassen",  // LKMSG_APPLY
    "Maateenheden",  // LKMSG_MEASUREUNITS
    "Eenheden",  // LKMSG_UNITS
    "Compressieverhouding",  // LKMSG_RATE
    "Alle afbeeldingen",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Bestand",  // LKMSG_FILE
    "Geheugen",  // LKMSG_MEM
    "Werkt het voorbeeld automatisch bij met de geselecteerde wijzigingen",  // LKMSG_LOCKPREVIEWHINT
    "Alles afdrukken",  // LKMSG_PRINTALL
    "Selectie afdrukken",  // LKMSG_PRINTSELECTED
    "Gangbare afbeeldingsbestanden",  // LKMSG_COMMONGRAPHICFILES
    "Alle bestanden",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Verscherpen",  // LKMSG_SHARPEN
    "Kanalen",  // LKMSG_CHANNELS
};

// msSwedish
constexpr TWordRow kSwedish = {
    "Förhandsgranska",  // LKMSG_PREVIEW
    "Original",  // LKMSG_SOURCE
    "Resultat",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Avbryt",  // LKMSG_CANCEL
    "Lås förhandsgranskning",  // LKMSG_LOCKPREVIEW
    "Kopiera resultatet till originalet",  // LKMSG_COPYRESULTTOSOURCE
    "Kontrast",  // LKMSG_CONTRAST
    "Ljusstyrka",  // LKMSG_BRIGHTNESS
    "Nyans",  // LKMSG_HUE
    "Mättnad",  // LKMSG_SATURATION
    "Värde",  // LKMSG_VALUE
    "Grundfärg",  // LKMSG_BASECOLOR
    "Ny färg",  // LKMSG_NEWCOLOR
    "Luminans",  // LKMSG_LUMINOSITY
    "Röd",  // LKMSG_RED
    "Grön",  // LKMSG_GREEN
    "Blå",  // LKMSG_BLUE
    "Filtervärden",  // LKMSG_FILTERVALUES
    "Förinställningar",  // LKMSG_PRESETS
    "Divisor",  // LKMSG_DIVISOR
    "Läs in",  // LKMSG_LOAD
    "Spara",  // LKMSG_SAVE
    "Utjämning",  // LKMSG_EQUALIZATION
    "Tröskelvärde",  // LKMSG_THRESHOLD
    "Utjämna",  // LKMSG_EQUALIZE
    "Histogram",  // LKMSG_HISTOGRAM
    "Grå",  // LKMSG_GRAY
    "Ljus",  // LKMSG_LIGHT
    "Vänster",  // LKMSG_LEFT
    "Överkant",  // LKMSG_TOP
    "Bredd",  // LKMSG_WIDTH
    "Höjd",  // LKMSG_HEIGHT
    "Färg",  // LKMSG_COLOR
    "Andel av originalbilden",  // LKMSG_SOURCEIMAGEQUANTITY
    "Lins",  // LKMSG_LENS
    "Brytning",  // LKMSG_REFRACTION
    "Förhandsgranskning av parametrar",  // LKMSG_PARAMETERSPREVIEW
    "Kvalitet",  // LKMSG_QUALITY
    "DCT-metod",  // LKMSG_DCTMETHOD
    "Utjämningsfaktor",  // LKMSG_SMOOTHINGFACTOR
    "Gråskala",  // LKMSG_GRAYSCALE
    "Optimal Huffman-kodning",  // LKMSG_OPTIMALHUFFMAN
    "Originalstorlek",  // LKMSG_ORIGINALSIZE
    "Komprimerad storlek",  // LKMSG_COMPRESSEDSIZE
    "Avancerat",  // LKMSG_ADVANCED
    "Progressiv",  // LKMSG_PROGRESSIVE
    "Komprimering",  // LKMSG_COMPRESSION
    "Bildindex",  // LKMSG_IMAGEINDEX
    "Fotometrisk tolkning",  // LKMSG_PHOTOMETRIC
    "Information om skannat dokument",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Namn",  // LKMSG_NAME
    "Beskrivning",  // LKMSG_DESCRIPTION
    "Sidnamn",  // LKMSG_PAGENAME
    "Sidnummer",  // LKMSG_PAGENUMBER
    "av",  // LKMSG_OF
    "Horis. position (tum)",  // LKMSG_HORIZPOSITIONINCH
    "Vert. position (tum)",  // LKMSG_VERTPOSITIONINCH
    "Färger",  // LKMSG_COLORS
    "Genomskinlig",  // LKMSG_TRANSPARENT
    "Genomskinlig färg",  // LKMSG_TRANSPARENTCOLOR
    "Sammanflätad",  // LKMSG_INTERLACED
    "Bakgrund",  // LKMSG_BACKGROUND
    "Horis. position",  // LKMSG_HORIZPOSITION
    "Vert. position",  // LKMSG_VERTPOSITION
    "Fördröjning",  // LKMSG_DELAYTIME
    "Filter",  // LKMSG_FILTER
    "Våg",  // LKMSG_WAVE
    "Amplitud",  // LKMSG_AMPLITUDE
    "Våglängd",  // LKMSG_WAVELENGTH
    "Fas",  // LKMSG_PHASE
    "Reflekterande",  // LKMSG_REFLECTIVE
    "Användarfilter",  // LKMSG_USERFILTER
    "Morfologiska filter",  // LKMSG_MORPHFILTER
    "Fönsterstorlek",  // LKMSG_WINDOWSIZE
    "Maximum",  // LKMSG_MAXIMUM
    "Minimum",  // LKMSG_MINIMUM
    "Öppning",  // LKMSG_OPEN
    "Slutning",  // LKMSG_CLOSE
    "Rotation",  // LKMSG_ROTATE
    "Vänd",  // LKMSG_FLIP
    "Vågrätt",  // LKMSG_FLIPHOR
    "Lodrätt",  // LKMSG_FLIPVER
    "Bild i frekvensdomänen",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Markera området som ska rensas",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Rensa",  // LKMSG_CLEAR
    "Återställ",  // LKMSG_RESET
    "Animera",  // LKMSG_ANIMATE
    "Läs in filter",  // LKMSG_LOADFILTER
    "Spara filter",  // LKMSG_SAVEFILTER
    "Reliefkarta",  // LKMSG_BUMPMAP
    "Skriv ut",  // LKMSG_PRINT
    "Marginaler",  // LKMSG_MARGINS
    "tum",  // LKMSG_INCHES
    "Höger",  // LKMSG_RIGHT
    "Nederkant",  // LKMSG_BOTTOM
    "Position",  // LKMSG_POSITION
    "Storlek",  // LKMSG_SIZE
    "Normal",  // LKMSG_NORMAL
    "Anpassa till sidan",  // LKMSG_FITTOPAGE
    "Sträck ut till sidan",  // LKMSG_STRETCHTOPAGE
    "Angiven storlek",  // LKMSG_SPECIFIEDSIZE
    "Gammakorrigering",  // LKMSG_GAMMACORRECTION
    "Värde",  // LKMSG_VALUE2
    "Utskriftsinställningar",  // LKMSG_PRINTSETUP
    "Vänstermarginal",  // LKMSG_LEFTMARGIN
    "Övre marginal",  // LKMSG_TOPMARGIN
    "Högermarginal",  // LKMSG_RIGHTMARGIN
    "Nedre marginal",  // LKMSG_BOTTOMMARGIN
    "Placering/storlek",  // LKMSG_LOCATIONSIZE
    "Överst till vänster",  // LKMSG_TOPLEFT
    "Överst i mitten",  // LKMSG_TOPCENTER
    "Överst till höger",  // LKMSG_TOPRIGHT
    "Mitten till vänster",  // LKMSG_CENTERLEFT
    "Mitten",  // LKMSG_CENTER
    "Mitten till höger",  // LKMSG_CENTERRIGHT
    "Nederst till vänster",  // LKMSG_BOTTOMLEFT
    "Nederst i mitten",  // LKMSG_BOTTOMCENTER
    "Nederst till höger",  // LKMSG_BOTTOMRIGHT
    "Stäng",  // LKMSG_CLOSE2
    "Verkställ",  // LKMSG_APPLY
    "Måttenheter",  // LKMSG_MEASUREUNITS
    "Enheter",  // LKMSG_UNITS
    "Komprimeringsgrad",  // LKMSG_RATE
    "All grafik",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Fil",  // LKMSG_FILE
    "Minne",  // LKMSG_MEM
    "Uppdaterar förhandsgranskningen automatiskt med de ändringar du har valt",  // LKMSG_LOCKPREVIEWHINT
    "Skriv ut alla",  // LKMSG_PRINTALL
    "Skriv ut markerade",  // LKMSG_PRINTSELECTED
    "Vanliga grafikfiler",  // LKMSG_COMMONGRAPHICFILES
    "Alla filer",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Skärpa",  // LKMSG_SHARPEN
    "Kanaler",  // LKMSG_CHANNELS
};

// msPolish
constexpr TWordRow kPolish = {
    "Podgląd",  // LKMSG_PREVIEW
    "Oryginał",  // LKMSG_SOURCE
    "Wynik",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Anuluj",  // LKMSG_CANCEL
    "Zablokuj podgląd",  // LKMSG_LOCKPREVIEW
    "Kopiuj wynik do oryginału",  // LKMSG_COPYRESULTTOSOURCE
    "Kontrast",  // LKMSG_CONTRAST
    "Jasność",  // LKMSG_BRIGHTNESS
    "Barwa",  // LKMSG_HUE
    "Nasycenie",  // LKMSG_SATURATION
    "Wartość",  // LKMSG_VALUE
    "Kolor bazowy",  // LKMSG_BASECOLOR
    "Nowy kolor",  // LKMSG_NEWCOLOR
    "Luminancja",  // LKMSG_LUMINOSITY
    "Czerwony",  // LKMSG_RED
    "Zielony",  // LKMSG_GREEN
    "Niebieski",  // LKMSG_BLUE
    "Wartości filtra",  // LKMSG_FILTERVALUES
    "Ustawienia predefiniowane",  // LKMSG_PRESETS
    "Dzielnik",  // LKMSG_DIVISOR
    "Wczytaj",  // LKMSG_LOAD
    "Zapisz",  // LKMSG_SAVE
    "Wyrównanie",  // LKMSG_EQUALIZATION
    "Próg",  // LKMSG_THRESHOLD
    "Wyrównaj",  // LKMSG_EQUALIZE
    "Histogram",  // LKMSG_HISTOGRAM
    "Szary",  // LKMSG_GRAY
    "Światło",  // LKMSG_LIGHT
    "Od lewej",  // LKMSG_LEFT
    "Od góry",  // LKMSG_TOP
    "Szerokość",  // LKMSG_WIDTH
    "Wysokość",  // LKMSG_HEIGHT
    "Kolor",  // LKMSG_COLOR
    "Udział obrazu oryginalnego",  // LKMSG_SOURCEIMAGEQUANTITY
    "Soczewka",  // LKMSG_LENS
    "Załamanie",  // LKMSG_REFRACTION
    "Podgląd parametrów",  // LKMSG_PARAMETERSPREVIEW
    "Jakość",  // LKMSG_QUALITY
    "Metoda DCT",  // LKMSG_DCTMETHOD
    "Współczynnik wygładzania",  // LKMSG_SMOOTHINGFACTOR
    "Skala szarości",  // LKMSG_GRAYSCALE
    "Optymalny kod Huffmana",  // LKMSG_OPTIMALHUFFMAN
    "Rozmiar oryginalny",  // LKMSG_ORIGINALSIZE
    "Rozmiar po kompresji",  // LKMSG_COMPRESSEDSIZE
    "Zaawansowane",  // LKMSG_ADVANCED
    "Progresywny",  // LKMSG_PROGRESSIVE
    "Kompresja",  // LKMSG_COMPRESSION
    "Indeks obrazu",  // LKMSG_IMAGEINDEX
    "Interpretacja fotometryczna",  // LKMSG_PHOTOMETRIC
    "Informacje o zeskanowanym dokumencie",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Nazwa",  // LKMSG_NAME
    "Opis",  // LKMSG_DESCRIPTION
    "Nazwa strony",  // LKMSG_PAGENAME
    "Numer strony",  // LKMSG_PAGENUMBER
    "z",  // LKMSG_OF
    "Położenie poz. (cale)",  // LKMSG_HORIZPOSITIONINCH
    "Położenie pion. (cale)",  // LKMSG_VERTPOSITIONINCH
    "Kolory",  // LKMSG_COLORS
    "Przezroczysty",  // LKMSG_TRANSPARENT
    "Kolor przezroczysty",  // LKMSG_TRANSPARENTCOLOR
    "Z przeplotem",  // LKMSG_INTERLACED
    "Tło",  // LKMSG_BACKGROUND
    "Położenie poz.",  // LKMSG_HORIZPOSITION
    "Położenie pion.",  // LKMSG_VERTPOSITION
    "Opóźnienie",  // LKMSG_DELAYTIME
    "Filtr",  // LKMSG_FILTER
    "Fala",  // LKMSG_WAVE
    "Amplituda",  // LKMSG_AMPLITUDE
    "Długość fali",  // LKMSG_WAVELENGTH
    "Faza",  // LKMSG_PHASE
    "Odbijający",  // LKMSG_REFLECTIVE
    "Filtr użytkownika",  // LKMSG_USERFILTER
    "Filtry morfologiczne",  // LKMSG_MORPHFILTER
    "Rozmiar okna",  // LKMSG_WINDOWSIZE
    "Maksimum",  // LKMSG_MAXIMUM
    "Minimum",  // LKMSG_MINIMUM
    "Otwarcie",  // LKMSG_OPEN
    "Zamknięcie",  // LKMSG_CLOSE
    "Obrót",  // LKMSG_ROTATE
    "Odbij",  // LKMSG_FLIP
    "Poziomo",  // LKMSG_FLIPHOR
    "Pionowo",  // LKMSG_FLIPVER
    "Obraz w dziedzinie częstotliwości",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Zaznacz obszar do oczyszczenia",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Wyczyść",  // LKMSG_CLEAR
    "Resetuj",  // LKMSG_RESET
    "Animuj",  // LKMSG_ANIMATE
    "Wczytaj filtr",  // LKMSG_LOADFILTER
    "Zapisz filtr",  // LKMSG_SAVEFILTER
    "Mapa wypukłości",  // LKMSG_BUMPMAP
    "Drukuj",  // LKMSG_PRINT
    "Marginesy",  // LKMSG_MARGINS
    "cale",  // LKMSG_INCHES
    "Od prawej",  // LKMSG_RIGHT
    "Od dołu",  // LKMSG_BOTTOM
    "Położenie",  // LKMSG_POSITION
    "Rozmiar",  // LKMSG_SIZE
    "Normalny",  // LKMSG_NORMAL
    "Dopasuj do strony",  // LKMSG_FITTOPAGE
    "Rozciągnij na stronę",  // LKMSG_STRETCHTOPAGE
    "Określony rozmiar",  // LKMSG_SPECIFIEDSIZE
    "Korekcja gamma",  // LKMSG_GAMMACORRECTION
    "Wartość",  // LKMSG_VALUE2
    "Ustawienia wydruku",  // LKMSG_PRINTSETUP
    "Lewy margines",  // LKMSG_LEFTMARGIN
    "Górny margines",  // LKMSG_TOPMARGIN
    "Prawy margines",  // LKMSG_RIGHTMARGIN
    "Dolny margines",  // LKMSG_BOTTOMMARGIN
    "Położenie/rozmiar",  // LKMSG_LOCATIONSIZE
    "U góry po lewej",  // LKMSG_TOPLEFT
    "U góry pośrodku",  // LKMSG_TOPCENTER
    "U góry po prawej",  // LKMSG_TOPRIGHT
    "Pośrodku po lewej",  // LKMSG_CENTERLEFT
    "Pośrodku",  // LKMSG_CENTER
    "Pośrodku po prawej",  // LKMSG_CENTERRIGHT
    "U dołu po lewej",  // LKMSG_BOTTOMLEFT
    "U dołu pośrodku",  // LKMSG_BOTTOMCENTER
    "U dołu po prawej",  // LKMSG_BOTTOMRIGHT
    "Zamknij",  // LKMSG_CLOSE2
    "Zastosuj",  // LKMSG_APPLY
    "Jednostki miary",  // LKMSG_MEASUREUNITS
    "Jednostki",  // LKMSG_UNITS
    nullptr,  // LKMSG_RATE  (no built-in text)
    "Wszystkie grafiki",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Plik",  // LKMSG_FILE
    "Pamięć",  // LKMSG_MEM
    "Automatycznie aktualizuje podgląd zgodnie z wybranymi zmianami",  // LKMSG_LOCKPREVIEWHINT
    "Drukuj wszystko",  // LKMSG_PRINTALL
    "Drukuj zaznaczone",  // LKMSG_PRINTSELECTED
    "Popularne pliki graficzne",  // LKMSG_COMMONGRAPHICFILES
    "Wszystkie pliki",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Wyostrz",  // LKMSG_SHARPEN
    "Kanały",  // LKMSG_CHANNELS
};

// msJapanese
constexpr TWordRow kJapanese = {
    "プレビュー",  // LKMSG_PREVIEW
    "オリジナル",  // LKMSG_SOURCE
    "結果",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "キャンセル",  // LKMSG_CANCEL
    "プレビューをロック",  // LKMSG_LOCKPREVIEW
    "結果をオリジナルにコピー",  // LKMSG_COPYRESULTTOSOURCE
    "コントラスト",  // LKMSG_CONTRAST
    "明るさ",  // LKMSG_BRIGHTNESS
    "色相",  // LKMSG_HUE
    "彩度",  // LKMSG_SATURATION
    "明度",  // LKMSG_VALUE
    "元の色",  // LKMSG_BASECOLOR
    "新しい色",  // LKMSG_NEWCOLOR
    "輝度",  // LKMSG_LUMINOSITY
    "赤",  // LKMSG_RED
    "緑",  // LKMSG_GREEN
    "青",  // LKMSG_BLUE
    "フィルタ値",  // LKMSG_FILTERVALUES
    "プリセット",  // LKMSG_PRESETS
    "除数",  // LKMSG_DIVISOR
    "読み込み",  // LKMSG_LOAD
    "保存",  // LKMSG_SAVE
    "均等化",  // LKMSG_EQUALIZATION
    "しきい値",  // LKMSG_THRESHOLD
    "均等化を実行",  // LKMSG_EQUALIZE
    "ヒストグラム",  // LKMSG_HISTOGRAM
    "グレー",  // LKMSG_GRAY
    "光源",  // LKMSG_LIGHT
    "左",  // LKMSG_LEFT
    "上",  // LKMSG_TOP
    "幅",  // LKMSG_WIDTH
    "高さ",  // LKMSG_HEIGHT
    "色",  // LKMSG_COLOR
    "元画像の割合",  // LKMSG_SOURCEIMAGEQUANTITY
    "レンズ",  // LKMSG_LENS
    "屈折",  // LKMSG_REFRACTION
    "パラメータのプレビュー",  // LKMSG_PARAMETERSPREVIEW
    "品質",  // LKMSG_QUALITY
    "DCT 方式",  // LKMSG_DCTMETHOD
    "スムージング係数",  // LKMSG_SMOOTHINGFACTOR
    "グレースケール",  // LKMSG_GRAYSCALE
    "最適ハフマン符号化",  // LKMSG_OPTIMALHUFFMAN
    "元のサイズ",  // LKMSG_ORIGINALSIZE
    "圧縮後のサイズ",  // LKMSG_COMPRESSEDSIZE
    "詳細設定",  // LKMSG_ADVANCED
    "プログレッシブ",  // LKMSG_PROGRESSIVE
    "圧縮",  // LKMSG_COMPRESSION
    "画像インデックス",  // LKMSG_IMAGEINDEX
    "フォトメトリック",  // LKMSG_PHOTOMETRIC
    "スキャン文書の情報",  // LKMSG_SCANNDEDDOCUMENTINFO
    "名前",  // LKMSG_NAME
    "説明",  // LKMSG_DESCRIPTION
    "ページ名",  // LKMSG_PAGENAME
    "ページ番号",  // LKMSG_PAGENUMBER
    "/",  // LKMSG_OF
    "水平位置 (インチ)",  // LKMSG_HORIZPOSITIONINCH
    "垂直位置 (インチ)",  // LKMSG_VERTPOSITIONINCH
    "色",  // LKMSG_COLORS
    "透過",  // LKMSG_TRANSPARENT
    "透過色",  // LKMSG_TRANSPARENTCOLOR
    "インターレース",  // LKMSG_INTERLACED
    "背景",  // LKMSG_BACKGROUND
    "水平位置",  // LKMSG_HORIZPOSITION
    "垂直位置",  // LKMSG_VERTPOSITION
    "遅延時間",  // LKMSG_DELAYTIME
    "フィルタ",  // LKMSG_FILTER
    "波",  // LKMSG_WAVE
    "振幅",  // LKMSG_AMPLITUDE
    "波長",  // LKMSG_WAVELENGTH
    "位相",  // LKMSG_PHASE
    "反射",  // LKMSG_REFLECTIVE
    "ユーザー フィルタ",  // LKMSG_USERFILTER
    "モルフォロジー フィルタ",  // LKMSG_MORPHFILTER
    "ウィンドウ サイズ",  // LKMSG_WINDOWSIZE
    "最大",  // LKMSG_MAXIMUM
    "最小",  // LKMSG_MINIMUM
    "オープニング",  // LKMSG_OPEN
    "クロージング",  // LKMSG_CLOSE
    "回転",  // LKMSG_ROTATE
    "反転",  // LKMSG_FLIP
    "水平",  // LKMSG_FLIPHOR
    "垂直",  // LKMSG_FLIPVER
    "周波数領域画像",  // LKMSG_FREQUENCYDOMAINIMAGE
    "クリーンアップする領域を選択してください",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "クリア",  // LKMSG_CLEAR
    "リセット",  // LKMSG_RESET
    "アニメーション",  // LKMSG_ANIMATE
    "フィルタの読み込み",  // LKMSG_LOADFILTER
    "フィルタの保存",  // LKMSG_SAVEFILTER
    "バンプ マップ",  // LKMSG_BUMPMAP
    "印刷",  // LKMSG_PRINT
    "余白",  // LKMSG_MARGINS
    "インチ",  // LKMSG_INCHES
    "右",  // LKMSG_RIGHT
    "下",  // LKMSG_BOTTOM
    "位置",  // LKMSG_POSITION
    "サイズ",  // LKMSG_SIZE
    "標準",  // LKMSG_NORMAL
    "ページに合わせる",  // LKMSG_FITTOPAGE
    "ページに引き伸ばす",  // LKMSG_STRETCHTOPAGE
    "指定サイズ",  // LKMSG_SPECIFIEDSIZE
    "ガンマ補正",  // LKMSG_GAMMACORRECTION
    "値",  // LKMSG_VALUE2
    "印刷設定",  // LKMSG_PRINTSETUP
    "左余白",  // LKMSG_LEFTMARGIN
    "上余白",  // LKMSG_TOPMARGIN
    "右余白",  // LKMSG_RIGHTMARGIN
    "下余白",  // LKMSG_BOTTOMMARGIN
    "位置/サイズ",  // LKMSG_LOCATIONSIZE
    "左上",  // LKMSG_TOPLEFT
    "中央上",  // LKMSG_TOPCENTER
    "右上",  // LKMSG_TOPRIGHT
    "左中央",  // LKMSG_CENTERLEFT
    "中央",  // LKMSG_CENTER
    "右中央",  // LKMSG_CENTERRIGHT
    "左下",  // LKMSG_BOTTOMLEFT
    "中央下",  // LKMSG_BOTTOMCENTER
    "右下",  // LKMSG_BOTTOMRIGHT
    "閉じる",  // LKMSG_CLOSE2
    "適用",  // LKMSG_APPLY
    "測定単位",  // LKMSG_MEASUREUNITS
    "単位",  // LKMSG_UNITS
    "圧縮率",  // LKMSG_RATE
    "すべてのグラフィック",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "ファイル",  // LKMSG_FILE
    "メモリ",  // LKMSG_MEM
    "選択した変更をプレビューに自動的に反映します",  // LKMSG_LOCKPREVIEWHINT
    "すべて印刷",  // LKMSG_PRINTALL
    "選択部分を印刷",  // LKMSG_PRINTSELECTED
    "一般的な画像ファイル",  // LKMSG_COMMONGRAPHICFILES
    "すべてのファイル",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "シャープ",  // LKMSG_SHARPEN
    "チャンネル",  // LKMSG_CHANNELS
};

// msCzech
constexpr TWordRow kCzech = {
    "Náhled",  // LKMSG_PREVIEW
    "Originál",  // LKMSG_SOURCE
    "Výsledek",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Storno",  // LKMSG_CANCEL
    "Zamknout náhled",  // LKMSG_LOCKPREVIEW
    "Kopírovat výsledek do originálu",  // LKMSG_COPYRESULTTOSOURCE
    "Kontrast",  // LKMSG_CONTRAST
    "Jas",  // LKMSG_BRIGHTNESS
    "Odstín",  // LKMSG_HUE
    "Sytost",  // LKMSG_SATURATION
    "Hodnota",  // LKMSG_VALUE
    "Základní barva",  // LKMSG_BASECOLOR
    "Nová barva",  // LKMSG_NEWCOLOR
    "Světlost",  // LKMSG_LUMINOSITY
    "Červená",  // LKMSG_RED
    "Zelená",  // LKMSG_GREEN
    "Modrá",  // LKMSG_BLUE
    "Hodnoty filtru",  // LKMSG_FILTERVALUES
    "Předvolby",  // LKMSG_PRESETS
    "Dělitel",  // LKMSG_DIVISOR
    "Načíst",  // LKMSG_LOAD
    "Uložit",  // LKMSG_SAVE
    "Vyrovnání",  // LKMSG_EQUALIZATION
    "Práh",  // LKMSG_THRESHOLD
    "Vyrovnat",  // LKMSG_EQUALIZE
    "Histogram",  // LKMSG_HISTOGRAM
    "Šedá",  // LKMSG_GRAY
    "Světlo",  // LKMSG_LIGHT
    "Vlevo",  // LKMSG_LEFT
    "Nahoře",  // LKMSG_TOP
    "Šířka",  // LKMSG_WIDTH
    "Výška",  // LKMSG_HEIGHT
    "Barva",  // LKMSG_COLOR
    "Podíl původního obrázku",  // LKMSG_SOURCEIMAGEQUANTITY
    "Čočka",  // LKMSG_LENS
    "Lom",  // LKMSG_REFRACTION
    "Náhled parametrů",  // LKMSG_PARAMETERSPREVIEW
    "Kvalita",  // LKMSG_QUALITY
    "Metoda DCT",  // LKMSG_DCTMETHOD
    "Faktor vyhlazení",  // LKMSG_SMOOTHINGFACTOR
    "Stupně šedi",  // LKMSG_GRAYSCALE
    "Optimální Huffmanovo kódování",  // LKMSG_OPTIMALHUFFMAN
    "Původní velikost",  // LKMSG_ORIGINALSIZE
    "Komprimovaná velikost",  // LKMSG_COMPRESSEDSIZE
    "Upřesnit",  // LKMSG_ADVANCED
    "Progresivní",  // LKMSG_PROGRESSIVE
    "Komprese",  // LKMSG_COMPRESSION
    "Index obrázku",  // LKMSG_IMAGEINDEX
    "Fotometrická interpretace",  // LKMSG_PHOTOMETRIC
    "Informace o naskenovaném dokumentu",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Název",  // LKMSG_NAME
    "Popis",  // LKMSG_DESCRIPTION
    "Název stránky",  // LKMSG_PAGENAME
    "Číslo stránky",  // LKMSG_PAGENUMBER
    "z",  // LKMSG_OF
    "Vodor. poloha (palce)",  // LKMSG_HORIZPOSITIONINCH
    "Svis. poloha (palce)",  // LKMSG_VERTPOSITIONINCH
    "Barvy",  // LKMSG_COLORS
    "Průhledný",  // LKMSG_TRANSPARENT
    "Průhledná barva",  // LKMSG_TRANSPARENTCOLOR
    "Prokládaný",  // LKMSG_INTERLACED
    "Pozadí",  // LKMSG_BACKGROUND
    "Vodor. poloha",  // LKMSG_HORIZPOSITION
    "Svis. poloha",  // LKMSG_VERTPOSITION
    "Zpoždění",  // LKMSG_DELAYTIME
    "Filtr",  // LKMSG_FILTER
    "Vlna",  // LKMSG_WAVE
    "Amplituda",  // LKMSG_AMPLITUDE
    "Vlnová délka",  // LKMSG_WAVELENGTH
    "Fáze",  // LKMSG_PHASE
    "Odrazný",  // LKMSG_REFLECTIVE
    "Uživatelský filtr",  // LKMSG_USERFILTER
    "Morfologické filtry",  // LKMSG_MORPHFILTER
    "Velikost okna",  // LKMSG_WINDOWSIZE
    "Maximum",  // LKMSG_MAXIMUM
    "Minimum",  // LKMSG_MINIMUM
    "Otevření",  // LKMSG_OPEN
    "Uzavření",  // LKMSG_CLOSE
    "Otočení",  // LKMSG_ROTATE
    "Převrátit",  // LKMSG_FLIP
    "Vodorovně",  // LKMSG_FLIPHOR
    "Svisle",  // LKMSG_FLIPVER
    "Obraz ve frekvenční oblasti",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Vyberte oblast, kterou chcete vyčistit",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Vymazat",  // LKMSG_CLEAR
    "Obnovit",  // LKMSG_RESET
    "Animovat",  // LKMSG_ANIMATE
    "Načíst filtr",  // LKMSG_LOADFILTER
    "Uložit filtr",  // LKMSG_SAVEFILTER
    "Mapa reliéfu",  // LKMSG_BUMPMAP
    "Tisk",  // LKMSG_PRINT
    "Okraje",  // LKMSG_MARGINS
    "palce",  // LKMSG_INCHES
    "Vpravo",  // LKMSG_RIGHT
    "Dole",  // LKMSG_BOTTOM
    "Poloha",  // LKMSG_POSITION
    "Velikost",  // LKMSG_SIZE
    "Normální",  // LKMSG_NORMAL
    "Přizpůsobit stránce",  // LKMSG_FITTOPAGE
    "Roztáhnout na stránku",  // LKMSG_STRETCHTOPAGE
    "Zadaná velikost",  // LKMSG_SPECIFIEDSIZE
    "Korekce gama",  // LKMSG_GAMMACORRECTION
    "Hodnota",  // LKMSG_VALUE2
    "Nastavení tisku",  // LKMSG_PRINTSETUP
    "Levý okraj",  // LKMSG_LEFTMARGIN
    "Horní okraj",  // LKMSG_TOPMARGIN
    "Pravý okraj",  // LKMSG_RIGHTMARGIN
    "Dolní okraj",  // LKMSG_BOTTOMMARGIN
    "Umístění/velikost",  // LKMSG_LOCATIONSIZE
    "Vlevo nahoře",  // LKMSG_TOPLEFT
    "Nahoře uprostřed",  // LKMSG_TOPCENTER
    "Vpravo nahoře",  // LKMSG_TOPRIGHT
    "Vlevo uprostřed",  // LKMSG_CENTERLEFT
    "Uprostřed",  // LKMSG_CENTER
    "Vpravo uprostřed",  // LKMSG_CENTERRIGHT
    "Vlevo dole",  // LKMSG_BOTTOMLEFT
    "Dole uprostřed",  // LKMSG_BOTTOMCENTER
    "Vpravo dole",  // LKMSG_BOTTOMRIGHT
    "Zavřít",  // LKMSG_CLOSE2
    "Použít",  // LKMSG_APPLY
    "Měrné jednotky",  // LKMSG_MEASUREUNITS
    "Jednotky",  // LKMSG_UNITS
    "Kompresní poměr",  // LKMSG_RATE
    "Všechny obrázky",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Soubor",  // LKMSG_FILE
    "Paměť",  // LKMSG_MEM
    "Automaticky aktualizuje náhled podle vybraných změn",  // LKMSG_LOCKPREVIEWHINT
    "Tisknout vše",  // LKMSG_PRINTALL
    "Tisknout vybrané",  // LKMSG_PRINTSELECTED
    "Běžné grafické soubory",  // LKMSG_COMMONGRAPHICFILES
    "Všechny soubory",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Doostřit",  // LKMSG_SHARPEN
    "Kanály",  // LKMSG_CHANNELS
};

// msFinnish
constexpr TWordRow kFinnish = {
    "Esikatselu",  // LKMSG_PREVIEW
    "Alkuperäinen",  // LKMSG_SOURCE
    "Tulos",  // LKMSG_RESULT
    "OK",  // LKMSG_OK
    "Peruuta",  // LKMSG_CANCEL
    "Lukitse esikatselu",  // LKMSG_LOCKPREVIEW
    "Kopioi tulos alkuperäiseen",  // LKMSG_COPYRESULTTOSOURCE
    "Kontrasti",  // LKMSG_CONTRAST
    "Kirkkaus",  // LKMSG_BRIGHTNESS
    "Sävy",  // LKMSG_HUE
    "Kylläisyys",  // LKMSG_SATURATION
    "Arvo",  // LKMSG_VALUE
    "Perusväri",  // LKMSG_BASECOLOR
    "Uusi väri",  // LKMSG_NEWCOLOR
    "Valoisuus",  // LKMSG_LUMINOSITY
    "Punainen",  // LKMSG_RED
    "Vihreä",  // LKMSG_GREEN
    "Sininen",  // LKMSG_BLUE
    "Suodattimen arvot",  // LKMSG_FILTERVALUES
    "Esiasetukset",  // LKMSG_PRESETS
    "Jakaja",  // LKMSG_DIVISOR
    "Lataa",  // LKMSG_LOAD
    "Tallenna",  // LKMSG_SAVE
    "Tasoitus",  // LKMSG_EQUALIZATION
    "Kynnys",  // LKMSG_THRESHOLD
    "Tasoita",  // LKMSG_EQUALIZE
    "Histogrammi",  // LKMSG_HISTOGRAM
    "Harmaa",  // LKMSG_GRAY
    "Valonlähde",  // LKMSG_LIGHT
    "Vasen",  // LKMSG_LEFT
    "Ylä",  // LKMSG_TOP
    "Leveys",  // LKMSG_WIDTH
    "Korkeus",  // LKMSG_HEIGHT
    "Väri",  // LKMSG_COLOR
    "Alkuperäisen kuvan osuus",  // LKMSG_SOURCEIMAGEQUANTITY
    "Linssi",  // LKMSG_LENS
    "Taittuminen",  // LKMSG_REFRACTION
    "Parametrien esikatselu",  // LKMSG_PARAMETERSPREVIEW
    "Laatu",  // LKMSG_QUALITY
    "DCT-menetelmä",  // LKMSG_DCTMETHOD
    "Pehmennyskerroin",  // LKMSG_SMOOTHINGFACTOR
    "Harmaasävy",  // LKMSG_GRAYSCALE
    "Optimaalinen Huffman-koodaus",  // LKMSG_OPTIMALHUFFMAN
    "Alkuperäinen koko",  // LKMSG_ORIGINALSIZE
    "Pakattu koko",  // LKMSG_COMPRESSEDSIZE
    "Lisäasetukset",  // LKMSG_ADVANCED
    "Progressiivinen",  // LKMSG_PROGRESSIVE
    "Pakkaus",  // LKMSG_COMPRESSION
    "Kuvan indeksi",  // LKMSG_IMAGEINDEX
    "Fotometrinen tulkinta",  // LKMSG_PHOTOMETRIC
    "Skannatun asiakirjan tiedot",  // LKMSG_SCANNDEDDOCUMENTINFO
    "Nimi",  // LKMSG_NAME
    "Kuvaus",  // LKMSG_DESCRIPTION
    "Sivun nimi",  // LKMSG_PAGENAME
    "Sivunumero",  // LKMSG_PAGENUMBER
    "/",  // LKMSG_OF
    "Vaakasijainti (tuumaa)",  // LKMSG_HORIZPOSITIONINCH
    "Pystysijainti (tuumaa)",  // LKMSG_VERTPOSITIONINCH
    "Värit",  // LKMSG_COLORS
    "Läpinäkyvä",  // LKMSG_TRANSPARENT
    "Läpinäkyvä väri",  // LKMSG_TRANSPARENTCOLOR
    "Lomitettu",  // LKMSG_INTERLACED
    "Tausta",  // LKMSG_BACKGROUND
    "Vaakasijainti",  // LKMSG_HORIZPOSITION
    "Pystysijainti",  // LKMSG_VERTPOSITION
    "Viive",  // LKMSG_DELAYTIME
    "Suodatin",  // LKMSG_FILTER
    "Aalto",  // LKMSG_WAVE
    "Amplitudi",  // LKMSG_AMPLITUDE
    "Aallonpituus",  // LKMSG_WAVELENGTH
    "Vaihe",  // LKMSG_PHASE
    "Heijastava",  // LKMSG_REFLECTIVE
    "Käyttäjän suodatin",  // LKMSG_USERFILTER
    "Morfologiset suodattimet",  // LKMSG_MORPHFILTER
    "Ikkunan koko",  // LKMSG_WINDOWSIZE
    "Maksimi",  // LKMSG_MAXIMUM
    "Minimi",  // LKMSG_MINIMUM
    "Avaus",  // LKMSG_OPEN
    "Sulkeminen",  // LKMSG_CLOSE
    "Kierto",  // LKMSG_ROTATE
    "Käännä",  // LKMSG_FLIP
    "Vaakasuunnassa",  // LKMSG_FLIPHOR
    "Pystysuunnassa",  // LKMSG_FLIPVER
    "Taajuustason kuva",  // LKMSG_FREQUENCYDOMAINIMAGE
    "Valitse puhdistettava alue",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "Tyhjennä",  // LKMSG_CLEAR
    "Palauta",  // LKMSG_RESET
    "Animoi",  // LKMSG_ANIMATE
    "Lataa suodatin",  // LKMSG_LOADFILTER
    "Tallenna suodatin",  // LKMSG_SAVEFILTER
    "Kohokartta",  // LKMSG_BUMPMAP
    "Tulosta",  // LKMSG_PRINT
    "Reunukset",  // LKMSG_MARGINS
    "tuumaa",  // LKMSG_INCHES
    "Oikea",  // LKMSG_RIGHT
    "Ala",  // LKMSG_BOTTOM
    "Sijainti",  // LKMSG_POSITION
    "Koko",  // LKMSG_SIZE
    "Normaali",  // LKMSG_NORMAL
    "Sovita sivulle",  // LKMSG_FITTOPAGE
    "Venytä sivulle",  // LKMSG_STRETCHTOPAGE
    "Määritetty koko",  // LKMSG_SPECIFIEDSIZE
    "Gammakorjaus",  // LKMSG_GAMMACORRECTION
    "Arvo",  // LKMSG_VALUE2
    "Tulostusasetukset",  // LKMSG_PRINTSETUP
    "Vasen reunus",  // LKMSG_LEFTMARGIN
    "Yläreunus",  // LKMSG_TOPMARGIN
    "Oikea reunus",  // LKMSG_RIGHTMARGIN
    "Alareunus",  // LKMSG_BOTTOMMARGIN
    "Sijainti/koko",  // LKMSG_LOCATIONSIZE
    "Ylhäällä vasemmalla",  // LKMSG_TOPLEFT
    "Ylhäällä keskellä",  // LKMSG_TOPCENTER
    "Ylhäällä oikealla",  // LKMSG_TOPRIGHT
    "Keskellä vasemmalla",  // LKMSG_CENTERLEFT
    "Keskellä",  // LKMSG_CENTER
    "Keskellä oikealla",  // LKMSG_CENTERRIGHT
    "Alhaalla vasemmalla",  // LKMSG_BOTTOMLEFT
    "Alhaalla keskellä",  // LKMSG_BOTTOMCENTER
    "Alhaalla oikealla",  // LKMSG_BOTTOMRIGHT
    "Sulje",  // LKMSG_CLOSE2
    "Käytä",  // LKMSG_APPLY
    "Mittayksiköt",  // LKMSG_MEASUREUNITS
    "Yksiköt",  // LKMSG_UNITS
    "Pakkaussuhde",  // LKMSG_RATE
    "Kaikki kuvat",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "Tiedosto",  // LKMSG_FILE
    "Muisti",  // LKMSG_MEM
    "Päivittää esikatselun automaattisesti valitsemillasi muutoksilla",  // LKMSG_LOCKPREVIEWHINT
    "Tulosta kaikki",  // LKMSG_PRINTALL
    "Tulosta valitut",  // LKMSG_PRINTSELECTED
    "Yleiset kuvatiedostot",  // LKMSG_COMMONGRAPHICFILES
    "Kaikki tiedostot",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "Terävöitä",  // LKMSG_SHARPEN
    "Kanavat",  // LKMSG_CHANNELS
};

// msFarsi
constexpr TWordRow kFarsi = {
    "پیش‌نمایش",  // LKMSG_PREVIEW
    "اصلی",  // LKMSG_SOURCE
    "نتیجه",  // LKMSG_RESULT
    "تأیید",  // LKMSG_OK
    "لغو",  // LKMSG_CANCEL
    "قفل پیش‌نمایش",  // LKMSG_LOCKPREVIEW
    "کپی نتیجه در تصویر اصلی",  // LKMSG_COPYRESULTTOSOURCE
    "کنتراست",  // LKMSG_CONTRAST
    "روشنایی",  // LKMSG_BRIGHTNESS
    "فام",  // LKMSG_HUE
    "اشباع",  // LKMSG_SATURATION
    "مقدار",  // LKMSG_VALUE
    "رنگ پایه",  // LKMSG_BASECOLOR
    "رنگ جدید",  // LKMSG_NEWCOLOR
    "درخشندگی",  // LKMSG_LUMINOSITY
    "قرمز",  // LKMSG_RED
    "سبز",  // LKMSG_GREEN
    "آبی",  // LKMSG_BLUE
    "مقادیر فیلتر",  // LKMSG_FILTERVALUES
    "پیش‌تنظیم‌ها",  // LKMSG_PRESETS
    "مقسوم‌علیه",  // LKMSG_DIVISOR
    "بارگذاری",  // LKMSG_LOAD
    "ذخیره",  // LKMSG_SAVE
    "یکسان‌سازی",  // LKMSG_EQUALIZATION
    "آستانه",  // LKMSG_THRESHOLD
    "یکسان کردن",  // LKMSG_EQUALIZE
    "هیستوگرام",  // LKMSG_HISTOGRAM
    "خاکستری",  // LKMSG_GRAY
    "منبع نور",  // LKMSG_LIGHT
    "چپ",  // LKMSG_LEFT
    "بالا",  // LKMSG_TOP
    "عرض",  // LKMSG_WIDTH
    "ارتفاع",  // LKMSG_HEIGHT
    "رنگ",  // LKMSG_COLOR
    "سهم تصویر اصلی",  // LKMSG_SOURCEIMAGEQUANTITY
    "عدسی",  // LKMSG_LENS
    "شکست نور",  // LKMSG_REFRACTION
    "پیش‌نمایش پارامترها",  // LKMSG_PARAMETERSPREVIEW
    "کیفیت",  // LKMSG_QUALITY
    "روش DCT",  // LKMSG_DCTMETHOD
    "ضریب هموارسازی",  // LKMSG_SMOOTHINGFACTOR
    "مقیاس خاکستری",  // LKMSG_GRAYSCALE
    "کدگذاری بهینهٔ هافمن",  // LKMSG_OPTIMALHUFFMAN
    "اندازهٔ اصلی",  // LKMSG_ORIGINALSIZE
    "اندازهٔ فشرده",  // LKMSG_COMPRESSEDSIZE
    "پیشرفته",  // LKMSG_ADVANCED
    "پیش‌رونده",  // LKMSG_PROGRESSIVE
    "فشرده‌سازی",  // LKMSG_COMPRESSION
    "شمارهٔ تصویر",  // LKMSG_IMAGEINDEX
    "تفسیر فوتومتریک",  // LKMSG_PHOTOMETRIC
    "اطلاعات سند اسکن‌شده",  // LKMSG_SCANNDEDDOCUMENTINFO
    "نام",  // LKMSG_NAME
    "توضیحات",  // LKMSG_DESCRIPTION
    "نام صفحه",  // LKMSG_PAGENAME
    "شمارهٔ صفحه",  // LKMSG_PAGENUMBER
    "از",  // LKMSG_OF
    "موقعیت افقی (اینچ)",  // LKMSG_HORIZPOSITIONINCH
    "موقعیت عمودی (اینچ)",  // LKMSG_VERTPOSITIONINCH
    "رنگ‌ها",  // LKMSG_COLORS
    "شفاف",  // LKMSG_TRANSPARENT
    "رنگ شفاف",  // LKMSG_TRANSPARENTCOLOR
    "درهم‌بافته",  // LKMSG_INTERLACED
    "پس‌زمینه",  // LKMSG_BACKGROUND
    "موقعیت افقی",  // LKMSG_HORIZPOSITION
    "موقعیت عمودی",  // LKMSG_VERTPOSITION
    "زمان تأخیر",  // LKMSG_DELAYTIME
    "فیلتر",  // LKMSG_FILTER
    "موج",  // LKMSG_WAVE
    "دامنه",  // LKMSG_AMPLITUDE
    "طول موج",  // LKMSG_WAVELENGTH
    "فاز",  // LKMSG_PHASE
    "بازتابی",  // LKMSG_REFLECTIVE
    "فیلتر کاربر",  // LKMSG_USERFILTER
    "فیلترهای ریخت‌شناسی",  // LKMSG_MORPHFILTER
    "اندازهٔ پنجره",  // LKMSG_WINDOWSIZE
    "بیشینه",  // LKMSG_MAXIMUM
    "کمینه",  // LKMSG_MINIMUM
    "گشایش",  // LKMSG_OPEN
    "بستار",  // LKMSG_CLOSE
    "چرخش",  // LKMSG_ROTATE
    "وارونه‌سازی",  // LKMSG_FLIP
    "افقی",  // LKMSG_FLIPHOR
    "عمودی",  // LKMSG_FLIPVER
    "تصویر حوزهٔ فرکانس",  // LKMSG_FREQUENCYDOMAINIMAGE
    "ناحیه‌ای را که باید پاک‌سازی شود انتخاب کنید",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "پاک کردن",  // LKMSG_CLEAR
    "بازنشانی",  // LKMSG_RESET
    "پویانمایی",  // LKMSG_ANIMATE
    "بارگذاری فیلتر",  // LKMSG_LOADFILTER
    "ذخیرهٔ فیلتر",  // LKMSG_SAVEFILTER
    "نقشهٔ برجستگی",  // LKMSG_BUMPMAP
    "چاپ",  // LKMSG_PRINT
    "حاشیه‌ها",  // LKMSG_MARGINS
    "اینچ",  // LKMSG_INCHES
    "راست",  // LKMSG_RIGHT
    "پایین",  // LKMSG_BOTTOM
    "موقعیت",  // LKMSG_POSITION
    "اندازه",  // LKMSG_SIZE
    "عادی",  // LKMSG_NORMAL
    "متناسب با صفحه",  // LKMSG_FITTOPAGE
    "کشیدن تا اندازهٔ صفحه",  // LKMSG_STRETCHTOPAGE
    "اندازهٔ مشخص‌شده",  // LKMSG_SPECIFIEDSIZE
    "تصحیح گاما",  // LKMSG_GAMMACORRECTION
    "مقدار",  // LKMSG_VALUE2
    "تنظیمات چاپ",  // LKMSG_PRINTSETUP
    "حاشیهٔ چپ",  // LKMSG_LEFTMARGIN
    "حاشیهٔ بالا",  // LKMSG_TOPMARGIN
    "حاشیهٔ راست",  // LKMSG_RIGHTMARGIN
    "حاشیهٔ پایین",  // LKMSG_BOTTOMMARGIN
    "مکان/اندازه",  // LKMSG_LOCATIONSIZE
    "بالا چپ",  // LKMSG_TOPLEFT
    "بالا وسط",  // LKMSG_TOPCENTER
    "بالا راست",  // LKMSG_TOPRIGHT
    "وسط چپ",  // LKMSG_CENTERLEFT
    "وسط",  // LKMSG_CENTER
    "وسط راست",  // LKMSG_CENTERRIGHT
    "پایین چپ",  // LKMSG_BOTTOMLEFT
    "پایین وسط",  // LKMSG_BOTTOMCENTER
    "پایین راست",  // LKMSG_BOTTOMRIGHT
    "بستن",  // LKMSG_CLOSE2
    "اعمال",  // LKMSG_APPLY
    "واحدهای اندازه‌گیری",  // LKMSG_MEASUREUNITS
    "واحدها",  // LKMSG_UNITS
    "نرخ فشرده‌سازی",  // LKMSG_RATE
    "همهٔ قالب‌های گرافیکی",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "فایل",  // LKMSG_FILE
    "حافظه",  // LKMSG_MEM
    "پیش‌نمایش را به‌طور خودکار با تغییراتی که انتخاب کرده‌اید به‌روز می‌کند",  // LKMSG_LOCKPREVIEWHINT
    "چاپ همه",  // LKMSG_PRINTALL
    "چاپ موارد انتخاب‌شده",  // LKMSG_PRINTSELECTED
    "فایل‌های گرافیکی رایج",  // LKMSG_COMMONGRAPHICFILES
    "همهٔ فایل‌ها",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "تیزکردن",  // LKMSG_SHARPEN
    "کانال‌ها",  // LKMSG_CHANNELS
};

// msChinese
constexpr TWordRow kChinese = {
    "预览",  // LKMSG_PREVIEW
    "原图",  // LKMSG_SOURCE
    "结果",  // LKMSG_RESULT
    "确定",  // LKMSG_OK
    "取消",  // LKMSG_CANCEL
    "锁定预览",  // LKMSG_LOCKPREVIEW
    "将结果复制到原图",  // LKMSG_COPYRESULTTOSOURCE
    "对比度",  // LKMSG_CONTRAST
    "亮度",  // LKMSG_BRIGHTNESS
    "色相",  // LKMSG_HUE
    "饱和度",  // LKMSG_SATURATION
    "明度",  // LKMSG_VALUE
    "基色",  // LKMSG_BASECOLOR
    "新颜色",  // LKMSG_NEWCOLOR
    "光度",  // LKMSG_LUMINOSITY
    "红",  // LKMSG_RED
    "绿",  // LKMSG_GREEN
    "蓝",  // LKMSG_BLUE
    "滤镜值",  // LKMSG_FILTERVALUES
    "预设",  // LKMSG_PRESETS
    "除数",  // LKMSG_DIVISOR
    "载入",  // LKMSG_LOAD
    "保存",  // LKMSG_SAVE
    "均衡化",  // LKMSG_EQUALIZATION
    "阈值",  // LKMSG_THRESHOLD
    "均衡",  // LKMSG_EQUALIZE
    "直方图",  // LKMSG_HISTOGRAM
    "灰色",  // LKMSG_GRAY
    "光源",  // LKMSG_LIGHT
    "左",  // LKMSG_LEFT
    "上",  // LKMSG_TOP
    "宽度",  // LKMSG_WIDTH
    "高度",  // LKMSG_HEIGHT
    "颜色",  // LKMSG_COLOR
    "原图比例",  // LKMSG_SOURCEIMAGEQUANTITY
    "透镜",  // LKMSG_LENS
    "折射",  // LKMSG_REFRACTION
    "参数预览",  // LKMSG_PARAMETERSPREVIEW
    "质量",  // LKMSG_QUALITY
    "DCT 方法",  // LKMSG_DCTMETHOD
    "平滑系数",  // LKMSG_SMOOTHINGFACTOR
    "灰度",  // LKMSG_GRAYSCALE
    "最优哈夫曼编码",  // LKMSG_OPTIMALHUFFMAN
    "原始大小",  // LKMSG_ORIGINALSIZE
    "压缩后大小",  // LKMSG_COMPRESSEDSIZE
    "高级",  // LKMSG_ADVANCED
    "渐进式",  // LKMSG_PROGRESSIVE
    "压缩",  // LKMSG_COMPRESSION
    "图像索引",  // LKMSG_IMAGEINDEX
    "光度解释",  // LKMSG_PHOTOMETRIC
    "扫描文档信息",  // LKMSG_SCANNDEDDOCUMENTINFO
    "名称",  // LKMSG_NAME
    "描述",  // LKMSG_DESCRIPTION
    "页面名称",  // LKMSG_PAGENAME
    "页码",  // LKMSG_PAGENUMBER
    "共",  // LKMSG_OF
    "水平位置 (英寸)",  // LKMSG_HORIZPOSITIONINCH
    "垂直位置 (英寸)",  // LKMSG_VERTPOSITIONINCH
    "色",  // LKMSG_COLORS
    "透明",  // LKMSG_TRANSPARENT
    "透明色",  // LKMSG_TRANSPARENTCOLOR
    "隔行扫描",  // LKMSG_INTERLACED
    "背景",  // LKMSG_BACKGROUND
    "水平位置",  // LKMSG_HORIZPOSITION
    "垂直位置",  // LKMSG_VERTPOSITION
    "延迟时间",  // LKMSG_DELAYTIME
    "滤镜",  // LKMSG_FILTER
    "波浪",  // LKMSG_WAVE
    "振幅",  // LKMSG_AMPLITUDE
    "波长",  // LKMSG_WAVELENGTH
    "相位",  // LKMSG_PHASE
    "反射",  // LKMSG_REFLECTIVE
    "自定义滤镜",  // LKMSG_USERFILTER
    "形态学滤镜",  // LKMSG_MORPHFILTER
    "窗口大小",  // LKMSG_WINDOWSIZE
    "最大值",  // LKMSG_MAXIMUM
    "最小值",  // LKMSG_MINIMUM
    "开运算",  // LKMSG_OPEN
    "闭运算",  // LKMSG_CLOSE
    "旋转",  // LKMSG_ROTATE
    "翻转",  // LKMSG_FLIP
    "水平",  // LKMSG_FLIPHOR
    "垂直",  // LKMSG_FLIPVER
    "频域图像",  // LKMSG_FREQUENCYDOMAINIMAGE
    "选择要清除的区域",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "清除",  // LKMSG_CLEAR
    "重置",  // LKMSG_RESET
    "动画",  // LKMSG_ANIMATE
    "载入滤镜",  // LKMSG_LOADFILTER
    "保存滤镜",  // LKMSG_SAVEFILTER
    "凹凸贴图",  // LKMSG_BUMPMAP
    "打印",  // LKMSG_PRINT
    "页边距",  // LKMSG_MARGINS
    "英寸",  // LKMSG_INCHES
    "右",  // LKMSG_RIGHT
    "下",  // LKMSG_BOTTOM
    "位置",  // LKMSG_POSITION
    "大小",  // LKMSG_SIZE
    "正常",  // LKMSG_NORMAL
    "适合页面",  // LKMSG_FITTOPAGE
    "拉伸到页面",  // LKMSG_STRETCHTOPAGE
    "指定大小",  // LKMSG_SPECIFIEDSIZE
    "伽马校正",  // LKMSG_GAMMACORRECTION
    "值",  // LKMSG_VALUE2
    "打印设置",  // LKMSG_PRINTSETUP
    "左边距",  // LKMSG_LEFTMARGIN
    "上边距",  // LKMSG_TOPMARGIN
    "右边距",  // LKMSG_RIGHTMARGIN
    "下边距",  // LKMSG_BOTTOMMARGIN
    "位置/大小",  // LKMSG_LOCATIONSIZE
    "左上",  // LKMSG_TOPLEFT
    "上中",  // LKMSG_TOPCENTER
    "右上",  // LKMSG_TOPRIGHT
    "左中",  // LKMSG_CENTERLEFT
    "居中",  // LKMSG_CENTER
    "右中",  // LKMSG_CENTERRIGHT
    "左下",  // LKMSG_BOTTOMLEFT
    "下中",  // LKMSG_BOTTOMCENTER
    "右下",  // LKMSG_BOTTOMRIGHT
    "关闭",  // LKMSG_CLOSE2
    "应用",  // LKMSG_APPLY
    "度量单位",  // LKMSG_MEASUREUNITS
    "单位",  // LKMSG_UNITS
    "压缩率",  // LKMSG_RATE
    "所有图形",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "文件",  // LKMSG_FILE
    "内存",  // LKMSG_MEM
    "根据所选更改自动更新预览",  // LKMSG_LOCKPREVIEWHINT
    "全部打印",  // LKMSG_PRINTALL
    "打印所选内容",  // LKMSG_PRINTSELECTED
    "常用图形文件",  // LKMSG_COMMONGRAPHICFILES
    "所有文件",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "锐化",  // LKMSG_SHARPEN
    "通道",  // LKMSG_CHANNELS
};

// msChineseTraditional
constexpr TWordRow kChineseTraditional = {
    "預覽",  // LKMSG_PREVIEW
    "原圖",  // LKMSG_SOURCE
    "結果",  // LKMSG_RESULT
    "確定",  // LKMSG_OK
    "取消",  // LKMSG_CANCEL
    "鎖定預覽",  // LKMSG_LOCKPREVIEW
    "將結果複製到原圖",  // LKMSG_COPYRESULTTOSOURCE
    "對比",  // LKMSG_CONTRAST
    "亮度",  // LKMSG_BRIGHTNESS
    "色相",  // LKMSG_HUE
    "飽和度",  // LKMSG_SATURATION
    "明度",  // LKMSG_VALUE
    "基色",  // LKMSG_BASECOLOR
    "新色彩",  // LKMSG_NEWCOLOR
    "光度",  // LKMSG_LUMINOSITY
    "紅",  // LKMSG_RED
    "綠",  // LKMSG_GREEN
    "藍",  // LKMSG_BLUE
    "濾鏡值",  // LKMSG_FILTERVALUES
    "預設",  // LKMSG_PRESETS
    "除數",  // LKMSG_DIVISOR
    "載入",  // LKMSG_LOAD
    "儲存",  // LKMSG_SAVE
    "等化",  // LKMSG_EQUALIZATION
    "臨界值",  // LKMSG_THRESHOLD
    "執行等化",  // LKMSG_EQUALIZE
    "直方圖",  // LKMSG_HISTOGRAM
    "灰色",  // LKMSG_GRAY
    "光源",  // LKMSG_LIGHT
    "左",  // LKMSG_LEFT
    "上",  // LKMSG_TOP
    "寬度",  // LKMSG_WIDTH
    "高度",  // LKMSG_HEIGHT
    "色彩",  // LKMSG_COLOR
    "原圖比例",  // LKMSG_SOURCEIMAGEQUANTITY
    "透鏡",  // LKMSG_LENS
    "折射",  // LKMSG_REFRACTION
    "參數預覽",  // LKMSG_PARAMETERSPREVIEW
    "品質",  // LKMSG_QUALITY
    "DCT 方法",  // LKMSG_DCTMETHOD
    "平滑係數",  // LKMSG_SMOOTHINGFACTOR
    "灰階",  // LKMSG_GRAYSCALE
    "最佳霍夫曼編碼",  // LKMSG_OPTIMALHUFFMAN
    "原始大小",  // LKMSG_ORIGINALSIZE
    "壓縮後大小",  // LKMSG_COMPRESSEDSIZE
    "進階",  // LKMSG_ADVANCED
    "漸進式",  // LKMSG_PROGRESSIVE
    "壓縮",  // LKMSG_COMPRESSION
    "影像索引",  // LKMSG_IMAGEINDEX
    "光度解譯",  // LKMSG_PHOTOMETRIC
    "掃描文件資訊",  // LKMSG_SCANNDEDDOCUMENTINFO
    "名稱",  // LKMSG_NAME
    "描述",  // LKMSG_DESCRIPTION
    "頁面名稱",  // LKMSG_PAGENAME
    "頁碼",  // LKMSG_PAGENUMBER
    "共",  // LKMSG_OF
    "水平位置 (英吋)",  // LKMSG_HORIZPOSITIONINCH
    "垂直位置 (英吋)",  // LKMSG_VERTPOSITIONINCH
    "色",  // LKMSG_COLORS
    "透明",  // LKMSG_TRANSPARENT
    "透明色",  // LKMSG_TRANSPARENTCOLOR
    "交錯",  // LKMSG_INTERLACED
    "背景",  // LKMSG_BACKGROUND
    "水平位置",  // LKMSG_HORIZPOSITION
    "垂直位置",  // LKMSG_VERTPOSITION
    "延遲時間",  // LKMSG_DELAYTIME
    "濾鏡",  // LKMSG_FILTER
    "波浪",  // LKMSG_WAVE
    "振幅",  // LKMSG_AMPLITUDE
    "波長",  // LKMSG_WAVELENGTH
    "相位",  // LKMSG_PHASE
    "反射",  // LKMSG_REFLECTIVE
    "自訂濾鏡",  // LKMSG_USERFILTER
    "形態學濾鏡",  // LKMSG_MORPHFILTER
    "視窗大小",  // LKMSG_WINDOWSIZE
    "最大值",  // LKMSG_MAXIMUM
    "最小值",  // LKMSG_MINIMUM
    "開運算",  // LKMSG_OPEN
    "閉運算",  // LKMSG_CLOSE
    "旋轉",  // LKMSG_ROTATE
    "翻轉",  // LKMSG_FLIP
    "水平",  // LKMSG_FLIPHOR
    "垂直",  // LKMSG_FLIPVER
    "頻域影像",  // LKMSG_FREQUENCYDOMAINIMAGE
    "選取要清除的區域",  // LKMSG_SELECTTHEREGIONTOCLEAR
    "清除",  // LKMSG_CLEAR
    "重設",  // LKMSG_RESET
    "動畫",  // LKMSG_ANIMATE
    "載入濾鏡",  // LKMSG_LOADFILTER
    "儲存濾鏡",  // LKMSG_SAVEFILTER
    "凹凸貼圖",  // LKMSG_BUMPMAP
    "列印",  // LKMSG_PRINT
    "邊界",  // LKMSG_MARGINS
    "英吋",  // LKMSG_INCHES
    "右",  // LKMSG_RIGHT
    "下",  // LKMSG_BOTTOM
    "位置",  // LKMSG_POSITION
    "大小",  // LKMSG_SIZE
    "一般",  // LKMSG_NORMAL
    "符合頁面",  // LKMSG_FITTOPAGE
    "延展至頁面",  // LKMSG_STRETCHTOPAGE
    "指定大小",  // LKMSG_SPECIFIEDSIZE
    "伽瑪校正",  // LKMSG_GAMMACORRECTION
    "值",  // LKMSG_VALUE2
    "列印設定",  // LKMSG_PRINTSETUP
    "左邊界",  // LKMSG_LEFTMARGIN
    "上邊界",  // LKMSG_TOPMARGIN
    "右邊界",  // LKMSG_RIGHTMARGIN
    "下邊界",  // LKMSG_BOTTOMMARGIN
    "位置/大小",  // LKMSG_LOCATIONSIZE
    "左上",  // LKMSG_TOPLEFT
    "上中",  // LKMSG_TOPCENTER
    "右上",  // LKMSG_TOPRIGHT
    "左中",  // LKMSG_CENTERLEFT
    "置中",  // LKMSG_CENTER
    "右中",  // LKMSG_CENTERRIGHT
    "左下",  // LKMSG_BOTTOMLEFT
    "下中",  // LKMSG_BOTTOMCENTER
    "右下",  // LKMSG_BOTTOMRIGHT
    "關閉",  // LKMSG_CLOSE2
    "套用",  // LKMSG_APPLY
    "度量單位",  // LKMSG_MEASUREUNITS
    "單位",  // LKMSG_UNITS
    "壓縮率",  // LKMSG_RATE
    "所有圖形",  // LKMSG_ALLGRAPHICS
    "Video for Windows",  // LKMSG_VIDEOFORWINDOWS
    "檔案",  // LKMSG_FILE
    "記憶體",  // LKMSG_MEM
    "依您選取的變更自動更新預覽",  // LKMSG_LOCKPREVIEWHINT
    "全部列印",  // LKMSG_PRINTALL
    "列印選取項目",  // LKMSG_PRINTSELECTED
    "常用圖形檔案",  // LKMSG_COMMONGRAPHICFILES
    "所有檔案",  // LKMSG_ALLFILES
    "HSV",  // LKMSG_HSV
    "HSL",  // LKMSG_HSL
    "RGB",  // LKMSG_RGB
    "FFT",  // LKMSG_FFT
    "銳利化",  // LKMSG_SHARPEN
    "色版",  // LKMSG_CHANNELS
};

struct TBuiltInRow {
  TMsgLanguage language;
  const char* const* words;
};

// In enumeration order, so the rows are stored language by language.
constexpr TBuiltInRow kBuiltIn[] = {
    {msEnglish, kEnglish},       {msItalian, kItalian},
    {msGerman, kGerman},         {msSpanish, kSpanish},
    {msFrench, kFrench},         {msPortuguese, kPortuguese},
    {msGreek, kGreek},           {msRussian, kRussian},
    {msDutch, kDutch},           {msSwedish, kSwedish},
    {msPolish, kPolish},         {msJapanese, kJapanese},
    {msCzech, kCzech},           {msFinnish, kFinnish},
    {msFarsi, kFarsi},           {msChinese, kChinese},
    {msChineseTraditional, kChineseTraditional},
};

// A row with fewer initialisers than words would leave its last words null
// without a word of warning; count the missing texts at compile time.
constexpr int MissingTexts(const char* const* words) {
  int n = 0;
  for (int w = 0; w < LKMsgWordCount; ++w)
    if (words[w] == nullptr || words[w][0] == '\0') ++n;
  return n;
}
static_assert([] {
  for (const TBuiltInRow& row : kBuiltIn)
    if (MissingTexts(row.words) != (row.language == msPolish ? 1 : 0)) return false;
  return kPolish[LKMSG_RATE] == nullptr;
}());

}  // namespace

void LKSetDefaultTranslationWords() {
  for (const TBuiltInRow& row : kBuiltIn)
    for (int w = 0; w < LKMsgWordCount; ++w)
      if (row.words[w] != nullptr)
        LKSetTranslationWord(row.language, static_cast<TMsgLanguageWords>(w), row.words[w]);
}
