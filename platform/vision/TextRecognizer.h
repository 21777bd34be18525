#pragma once

// Recognition of lines of text in a picture (Tesseract's LSTM engine underneath).
//
// Tuned for sparse writing on paper, such as notes on the backs of prints: the paper's shading
// is flattened first, and the picture is read in all four orientations, so that writing turned
// sideways or upside down is found too; the lines found are pooled in the upright picture.
//
// Reentrant: any number of calls may run at once on any threads. Each call borrows recognizer
// instances from a small process-wide cache (starting one costs a few hundred milliseconds)
// and gives them back when it returns. Each instance computes on one thread.

#include <QImage>
#include <QRectF>
#include <QString>

#include <vector>

namespace Vision {

struct TextRequest {
    // Lines lower than this share of the picture's height are ignored.
    double minimumTextHeight = 0.012;
    // Also read the picture turned by 90°, 180° and 270°.
    bool allOrientations = true;
    // Divide out the paper's shading (cream or tinted paper, uneven light) before reading.
    bool flattenBackground = true;
    // The picture is enlarged by this factor before reading; the boxes come back in the
    // picture's own proportions either way. Writing on a 75-dpi overview is 13 to 25 pixels
    // tall, at the small end of what the recognizer reads well: twice the size finds more of
    // it on scanned-looking backs, and four readings at that size still take well under a
    // second.
    double scale = 2.0;
};

// One recognised line.
struct TextObservation {
    // Normalised to the picture: 0..1 across its width and height, origin at the bottom-left,
    // y up.
    QRectF boundingBox;
    double confidence = 0;   // 0..1
    QString text;
};

// The lines recognised in `image`. Empty for a null image, when nothing is found, or when the
// recognizer cannot start (its language data missing).
std::vector<TextObservation> recognizeText(const QImage& image, const TextRequest& request = {});

// Pools lines found in several readings of one picture. The strongest readings come first:
// confidence times the number of letters and digits read, then confidence. Walking them in
// that order, a line is kept unless it overlaps an already kept one by more than half of the
// smaller of the two boxes. The kept lines come back in that order.
std::vector<TextObservation> mergeDuplicateLines(std::vector<TextObservation> lines);

// The paper's shading divided out of a grey copy of `image`: plain paper comes out white, and
// ink's darkness against the paper around it is tripled. A dark lid stays dark. Null for a
// null image.
QImage flattenBackground(const QImage& image);

// True when the recognizer can start (its library and English language data are present).
bool textRecognizerAvailable();

}  // namespace Vision
