// Built twice: against the platform's writer and, on Linux, against the Windows writer, so
// that both give the router the same bytes.
#include <gtest/gtest.h>

#include "platform/xml_document.h"

namespace zlv {
namespace {

TEST(XmlDocumentTest, NestedElementsAreWrittenOnOneLineInTheirOrder) {
  XmlDocument doc;
  XmlElement root = doc.AppendChild("root");
  root.AppendChild("Id").SetText("12");
  XmlElement list = root.AppendChild("ItensPedido");
  list.AppendChild("data").AppendChild("codigo").SetText("A");
  list.AppendChild("data").AppendChild("codigo").SetText("B");
  root.AppendChild("Fim").SetText("x");
  EXPECT_EQ(doc.Write(),
            "<root><Id>12</Id><ItensPedido><data><codigo>A</codigo></data>"
            "<data><codigo>B</codigo></data></ItensPedido><Fim>x</Fim></root>");
}

TEST(XmlDocumentTest, EmptyElementsGetAnEndTagNeverTheShortForm) {
  XmlDocument doc;
  XmlElement root = doc.AppendChild("root");
  root.AppendChild("Pagamentos");
  root.AppendChild("Obs").SetText("");
  EXPECT_EQ(doc.Write(), "<root><Pagamentos></Pagamentos><Obs></Obs></root>");
}

TEST(XmlDocumentTest, MarkupInTextIsEscapedAndQuotesAndAccentsStay) {
  XmlDocument doc;
  doc.AppendChild("Name").SetText("Ana & Zé <\"Bar\"> 'x'");
  EXPECT_EQ(doc.Write(), "<Name>Ana &amp; Zé &lt;\"Bar\"&gt; 'x'</Name>");
}

TEST(XmlDocumentTest, ControlCharactersXmlCannotHoldAreDroppedButTabAndLineBreaksStay) {
  XmlDocument doc;
  doc.AppendChild("Obs").SetText(
      std::string("a\x01"
                  "b\x1f\tc\r\nd\x7f",
                  11));
  EXPECT_EQ(doc.Write(), "<Obs>ab\tc\r\nd\x7f</Obs>");
}

TEST(XmlDocumentTest, TextEndsAtItsFirstNul) {
  XmlDocument doc;
  doc.AppendChild("Obs").SetText(std::string("abc\0def", 7));
  EXPECT_EQ(doc.Write(), "<Obs>abc</Obs>");
}

TEST(XmlDocumentTest, NewTextReplacesTheOld) {
  XmlDocument doc;
  XmlElement e = doc.AppendChild("Valor");
  e.SetText("1");
  e.SetText("2");
  EXPECT_EQ(doc.Write(), "<Valor>2</Valor>");
}

TEST(XmlDocumentTest, MovedDocumentKeepsItsElements) {
  XmlDocument doc;
  XmlElement root = doc.AppendChild("root");
  XmlDocument moved = std::move(doc);
  root.AppendChild("a").SetText("1");
  EXPECT_EQ(moved.Write(), "<root><a>1</a></root>");
}

}  // namespace
}  // namespace zlv
